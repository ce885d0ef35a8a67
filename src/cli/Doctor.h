// halvexctl doctor: the board check over the tool's session, and the report of all checks
// (the system checks are AfPortDoctor's) as text lines and as JSON. Texts are English.
#pragma once

#include "cli/BoardSession.h"
#include "serial/AfPortDoctor.h"

#include <QJsonArray>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace halvex::cli {

// Opens port `number` on the session and runs the connection check: ok when the board
// answers "R" (with the seconds it took), else fail with what happened.
TAfFinding BoardCheck(TBoardSession& session, std::uint16_t number);

// The system checks of the device at `path`, then `board` when none of them failed; else
// the board check is skipped.
std::vector<TAfFinding> DoctorChecks(const std::string& path,
                                     const std::function<TAfFinding()>& board);
// The ports check of the doctor without a port: ok with the ports `found` ("COM1
// /dev/ttyUSB0 (available)"), a warning when there is none.
TAfFinding PortsFinding(const std::vector<std::string>& found);

// No check failed (warnings pass).
bool DoctorPassed(const std::vector<TAfFinding>& findings);

// One line per check: status, name, detail ("ok    device         /dev/ttyUSB0: ..."), and
// under a check that is not ok a line "fix: ..."; no final newline.
std::string DoctorReport(const std::vector<TAfFinding>& findings);

// [{"name", "status", "detail", "fix"}] in the order of the checks; "fix" is null when none.
QJsonArray DoctorJson(const std::vector<TAfFinding>& findings);

} // namespace halvex::cli
