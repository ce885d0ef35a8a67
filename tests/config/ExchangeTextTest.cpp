// The words for how an exchange ended, as the status line and halvexctl show them.
#include "config/ExchangeText.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

TEST(ExchangeText, GiveUpNamesTheFrameItStoppedAtAndTheBudget) {
    TExchangeReport write;
    write.Kind = TExchangeKind::Write;
    write.Outcome = TExchangeOutcome::GaveUp;
    write.Confirmed = 9;
    write.Frame = 9;
    write.Total = 16;
    write.Budget = 10;
    const TExchangeText english = ExchangeText(write, TLanguage::English);
    EXPECT_EQ(english.Status, QStringLiteral("Write stopped at block 10 of 16"));
    EXPECT_EQ(english.Cause, QStringLiteral("block 9 not acknowledged after 10 tries"));
    EXPECT_EQ(ExchangeText(write, TLanguage::Polish).Status,
              QStringLiteral("Zapis przerwany na bloku 10 z 16"));
    TExchangeReport check;
    check.Outcome = TExchangeOutcome::GaveUp;
    check.Budget = 60;
    EXPECT_EQ(ExchangeText(check, TLanguage::English).Cause,
              QStringLiteral("no answer to the connection check after 60 tries"));
}

TEST(ExchangeText, DoneGivesTheTimeInTheLanguagesNumbers) {
    TExchangeReport upload;
    upload.Kind = TExchangeKind::FontUpload;
    upload.Total = 256;
    upload.Ms = 6240;
    EXPECT_EQ(ExchangeText(upload, TLanguage::English).Status,
              QStringLiteral("Font uploaded: 256 characters in 6.2 s"));
    TExchangeReport read;
    read.Kind = TExchangeKind::Read;
    read.Ms = 280;
    EXPECT_EQ(ExchangeText(read, TLanguage::Polish).Status, QStringLiteral("Odczytano w 0,28 s"));
    EXPECT_TRUE(ExchangeText(read, TLanguage::English).Cause.isEmpty());
}

TEST(ExchangeText, ReadBackEndingsInBothLanguages) {
    TExchangeReport write;
    write.Kind = TExchangeKind::Write;
    write.Total = write.Confirmed = 16;
    write.Ms = 380;
    write.Verified = true;
    EXPECT_EQ(ExchangeText(write, TLanguage::English).Status,
              QStringLiteral("Written 16 blocks in 0.38 s, verified"));
    EXPECT_EQ(ExchangeText(write, TLanguage::Polish).Status,
              QStringLiteral("Zapisano 16 bloków w 0,38 s, sprawdzono"));

    write.Outcome = TExchangeOutcome::VerifyFailed;
    write.Verified = false;
    write.Mismatch = {6, 192, 223};
    EXPECT_EQ(
        ExchangeText(write, TLanguage::English).Message,
        QStringLiteral("Verify failed: the OSD holds different data in block 6 (offsets 192-223)"));
    EXPECT_EQ(ExchangeText(write, TLanguage::Polish).Message,
              QStringLiteral("Weryfikacja nieudana: OSD ma inne dane w bloku 6 (bajty 192-223)"));
    write.Mismatch = {0, 4, 4};
    EXPECT_EQ(ExchangeText(write, TLanguage::English).Status,
              QStringLiteral("Verify failed: the OSD holds different data in block 0 (offsets 4)"));

    // Every block acknowledged, the read-back unanswered.
    write.Outcome = TExchangeOutcome::GaveUp;
    write.Step = TExchangeStep::ReadBack;
    write.Budget = 3;
    const TExchangeText gaveUp = ExchangeText(write, TLanguage::English);
    EXPECT_EQ(gaveUp.Status, QStringLiteral("Written 16 blocks, not verified: no answer"));
    EXPECT_EQ(gaveUp.Cause, QStringLiteral("no complete answer to the read request after 3 tries"));
    EXPECT_TRUE(gaveUp.Message.isEmpty());
}

} // namespace
} // namespace halvex
