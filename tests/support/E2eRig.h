// Fixture for end-to-end tests: the link stack over a simulated board, rebuilt per test.
#pragma once

#include "LinkStack.h"

#include <gtest/gtest.h>

namespace halvex::sim::test {

class TE2eRig : public ::testing::Test {
protected:
    void TearDown() override { stack_.Shutdown(); }

    // Starts the board with `options`, opens the port on its pty and builds the link.
    void Boot(const TSimulatorOptions& options) {
        stack_.Boot(options);
        ASSERT_TRUE(port->IsOpen());
    }
    void Shutdown() { stack_.Shutdown(); }

    template <typename Done> bool RunUntil(Done&& done, std::chrono::milliseconds limit) {
        return test::RunUntil(std::forward<Done>(done), limit);
    }
    void RunFor(std::chrono::milliseconds span) { test::RunFor(span); }

    // The real-world character set when the shared test data is present, else a
    // generated file in the same format.
    std::string FontFilePath() {
#ifdef HALVEX_E2E_FONT
        if (std::filesystem::exists(HALVEX_E2E_FONT))
            return HALVEX_E2E_FONT;
#endif
        generatedFont_ = (std::filesystem::temp_directory_path() /
                          ("halvex-e2e-" + std::to_string(::getpid()) + ".mcm"))
                             .string();
        TBoardFont font{};
        const TFontSet pattern = PatternFont();
        for (std::size_t c = 0; c < kFontChars; ++c)
            std::copy(pattern[c].begin(), pattern[c].end(), font[c].begin());
        WriteFileAtomically(generatedFont_, FontToMcm(font));
        return generatedFont_;
    }

    ~TE2eRig() override {
        if (!generatedFont_.empty())
            std::filesystem::remove(generatedFont_);
    }

private:
    TLinkStack stack_;
    std::string generatedFont_;

protected:
    TConfigImage& image = stack_.image;
    TRecordingHost& host = stack_.host;
    std::unique_ptr<TOsdSimulator>& sim = stack_.sim;
    std::unique_ptr<TAfComPort>& port = stack_.port;
    std::unique_ptr<TOsdLink>& link = stack_.link;
};

} // namespace halvex::sim::test
