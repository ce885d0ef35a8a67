// Test rig for TOsdLink: a manual clock with the two link timers, the fake port, a host
// that records what the link asks of the window, and a simulated board that answers
// frames after a latency in virtual time: `latency` ms after each frame, or (queueing)
// `latency` ms after the frame or the board's previous answer, whichever is later, as a
// board that handles its frames one at a time. Answers leave in the order of their frames.
//
// The board is either `answer` (a reply per frame, `latency` for all) or, when `fate` is
// set, the model board (ModelBoard.h), with an answer time and losses per copy.
#pragma once

#include "FakeLinkPort.h"
#include "ManualClock.h"
#include "ModelBoard.h"
#include "RecordingHost.h"
#include "link/LinkFrames.h"
#include "link/OsdLink.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace halvex {

// Index byte of a "$w" or "$c" frame.
inline int FrameIndex(const std::string& frame) {
    return std::stoi(frame.substr(2, 2), nullptr, 16);
}

inline bool IsBlockFrame(const std::string& frame) {
    return frame.size() == kBlockFrameSize && frame.compare(0, 2, "$w") == 0;
}
inline bool IsCharFrame(const std::string& frame) {
    return frame.size() == kCharFrameSize && frame.compare(0, 2, "$c") == 0;
}

struct TLinkRig {
    TManualClock clock;
    TLinkTimer& timer1 = clock.MakeTimer(200);
    TLinkTimer& timer2 = clock.MakeTimer(200);
    TLinkTimer& boardTick = clock.MakeTimer(1); // delivers the board's answers when due
    TFakeLinkPort port;
    TRecordingHost host;
    TConfigImage image;
    TOsdLink link{image, port, timer1, timer2, host};

    // The board: returns its answer to a frame ("" = no answer), sent `latency` ms later.
    std::function<std::string(const std::string& frame)> answer;
    std::uint32_t latency = 10;
    // The model board and what becomes of each copy; used instead of `answer` when set.
    TModelBoard board;
    std::function<TCopyFate(const TFrameId& frame)> fate;
    bool queueing = false;
    std::vector<std::uint64_t> writeTimes;
    std::deque<std::pair<std::uint64_t, std::string>> replies;
    std::uint64_t lastReply = 0; // when the last answer was delivered

    TLinkRig() {
        port.OnWrite = [this](const std::string& frame) {
            writeTimes.push_back(clock.Now());
            std::uint32_t ms = latency;
            std::string reply;
            if (fate)
                reply = ModelAnswer(frame, ms);
            else if (answer)
                reply = answer(frame);
            if (!reply.empty())
                Queue(std::move(reply), ms);
        };
        boardTick.OnTimer = [this] {
            while (!replies.empty() && replies.front().first <= clock.Now()) {
                const std::string reply = std::move(replies.front().second);
                lastReply = replies.front().first;
                replies.pop_front();
                port.Feed(reply);
            }
            ScheduleBoardTick();
        };
    }

    // The model board answering every copy after `latency`, except the block (or
    // character) `dropIndex` of the given letter ('w' or 'c'), whose every copy is lost.
    void AckFrames(char dropLetter = 0, int dropIndex = -1) {
        const TFrameId::TKind dropKind = dropLetter == 'w'   ? TFrameId::Block
                                         : dropLetter == 'c' ? TFrameId::Char
                                                             : TFrameId::Other;
        fate = [this, dropKind, dropIndex](const TFrameId& id) {
            TCopyFate f;
            f.AnswerMs = latency;
            f.Lost = id.Kind == dropKind && id.Index == dropIndex;
            return f;
        };
    }

    const std::vector<std::string>& Writes() const { return port.Writes(); }

    // The answer of the model board to one copy, with its answer time in `ms`.
    std::string ModelAnswer(const std::string& frame, std::uint32_t& ms) {
        const TCopyFate f = fate(board.Identify(frame));
        if (f.Lost)
            return "";
        std::string reply = board.Act(frame);
        if (f.AnswerLost)
            return "";
        if (f.LostByte >= 0 && static_cast<std::size_t>(f.LostByte) < reply.size())
            reply.erase(static_cast<std::size_t>(f.LostByte), 1);
        ms = f.AnswerMs;
        return reply;
    }

    // The answer leaves `ms` after now (queueing: after the previous answer, if later), and
    // never before an answer queued earlier.
    void Queue(std::string reply, std::uint32_t ms) {
        std::uint64_t from = clock.Now();
        if (queueing)
            from = std::max(from, replies.empty() ? lastReply : replies.back().first);
        std::uint64_t due = from + ms;
        if (!replies.empty())
            due = std::max(due, replies.back().first);
        replies.emplace_back(due, std::move(reply));
        if (!boardTick.Enabled())
            ScheduleBoardTick();
    }

    // The board's timer fires when the first queued answer is due (at least 1 ms on).
    void ScheduleBoardTick() {
        boardTick.SetEnabled(false);
        if (replies.empty())
            return;
        const std::uint64_t now = clock.Now();
        const std::uint64_t due = replies.front().first;
        boardTick.SetInterval(static_cast<std::uint32_t>(due > now ? due - now : 1));
        boardTick.SetEnabled(true);
    }
};

} // namespace halvex
