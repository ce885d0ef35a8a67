// The user messages of the program, by id. Whoever shows one (the main window, the
// command-line tool) picks the text in the current interface language (Texts.h).
#pragma once

namespace halvex {

enum class TMessage {
    ReadError,        // "ERROR reading data from OSD !"
    CommError,        // "Communication ERROR !"
    FontsLoaded,      // "Fonts loaded !"
    BadFileFormat,    // "Bad file format !"
    ImportError,      // "Error inside import file !"
    ChangesUpdated,   // "Changes Updated"
    NotReady,         // "OSD not ready !"
    OsdBusy,          // "OSD busy - try again !"
    WriteInterrupted, // "Write interrupted - the OSD may hold a partly written configuration !"
    FontUploadInterrupted, // "Font upload interrupted - repeat FontMap Update !"
    PortDisconnected,      // "Port COM%d disconnected !" (%d: the port number)
    BadSetHeader,          // "Bad file format ! (the first line must be "MAX7456" alone)"
    SetHoldsMore,          // "This set holds %1 characters; ..." (%1: more than 256)
    VerifyFailed,          // "Verify failed: the OSD holds different data in block %1 (offsets %2)"
};

} // namespace halvex
