#include "config/ExchangeText.h"

#include <QLocale>

#include <optional>

namespace halvex {

namespace {

QString Text(TUiText text, TLanguage language) {
    return QString::fromUtf8(UiText(text, language));
}

// A reply letter as the status line shows it: the character, or its code when it is none
// that prints.
QString ReplyText(char reply) {
    const auto code = static_cast<unsigned char>(reply);
    if (code > 0x20 && code < 0x7F)
        return QString(QLatin1Char(reply));
    return QStringLiteral("0x") + QString::number(code, 16).toUpper().rightJustified(2, u'0');
}

QString DoneText(const TExchangeReport& report, TLanguage language) {
    const QString seconds = SecondsText(report.Ms, language);
    const QString verified = report.Verified ? Text(TUiText::StatusVerified, language) : QString();
    switch (report.Kind) {
    case TExchangeKind::LinkTest:
        if (report.Reply == 'R')
            return Text(TUiText::StatusOsdReady, language);
        if (report.Reply == 0)
            return Text(TUiText::StatusOsdNoLetter, language);
        return Text(TUiText::StatusOsdReply, language).arg(ReplyText(report.Reply));
    case TExchangeKind::Read:
        return Text(TUiText::StatusRead, language).arg(seconds);
    case TExchangeKind::Write:
        return Text(TUiText::StatusWritten, language).arg(report.Total).arg(seconds) + verified;
    case TExchangeKind::Apply:
        return Text(TUiText::StatusApplied, language).arg(seconds) + verified;
    case TExchangeKind::FontUpload:
        return Text(TUiText::StatusFontDone, language).arg(report.Total).arg(seconds);
    }
    return QString();
}

// Why a block or character sequence gave up: the frame out and the tries its budget allowed.
QString SequenceCause(const TExchangeReport& report, TLanguage language) {
    switch (report.Step) {
    case TExchangeStep::Fence:
        return Text(TUiText::CauseNoAnswer, language).arg(report.Budget);
    case TExchangeStep::ReadBack:
        return Text(TUiText::CauseNoDump, language).arg(report.Budget);
    case TExchangeStep::Frame:
        break;
    }
    const TUiText cause = report.Kind == TExchangeKind::FontUpload ? TUiText::CauseCharacterLost
                                                                   : TUiText::CauseBlockLost;
    return Text(cause, language).arg(report.Frame).arg(report.Budget);
}

// A give-up: the status names the frame it stopped at (counted from 1), or, every block
// acknowledged, the read-back that got no answer.
TExchangeText GaveUpText(const TExchangeReport& report, TLanguage language) {
    const int stoppedAt = report.Confirmed + 1;
    const auto stopped = [&](TUiText status, std::optional<TUiText> notVerified = {}) {
        const QString text = notVerified && report.Confirmed >= report.Total
                                 ? Text(*notVerified, language).arg(report.Total)
                                 : Text(status, language).arg(stoppedAt).arg(report.Total);
        return TExchangeText{text, SequenceCause(report, language), QString()};
    };
    switch (report.Kind) {
    case TExchangeKind::LinkTest:
        return {Text(TUiText::StatusNoAnswer, language),
                Text(TUiText::CauseNoAnswer, language).arg(report.Budget), QString()};
    case TExchangeKind::Read:
        return {Text(TUiText::StatusReadNoAnswer, language),
                Text(TUiText::CauseNoDump, language).arg(report.Budget), QString()};
    case TExchangeKind::Write:
        return stopped(TUiText::StatusWriteStopped, TUiText::StatusWriteNotVerified);
    case TExchangeKind::Apply:
        return stopped(TUiText::StatusApplyStopped, TUiText::StatusApplyNotVerified);
    case TExchangeKind::FontUpload:
        return stopped(TUiText::StatusFontStopped);
    }
    return {};
}

// "Verify failed: the OSD holds different data in block 6 (offsets 192-223)".
QString VerifyFailedText(const TExchangeReport& report, TLanguage language) {
    return QString::fromUtf8(MessageText(TMessage::VerifyFailed, language))
        .arg(report.Mismatch.Block)
        .arg(MismatchOffsets(report.Mismatch));
}

} // namespace

QString MismatchOffsets(const TVerifyMismatch& mismatch) {
    QString offsets = QString::number(mismatch.First);
    if (mismatch.Last > mismatch.First)
        offsets += QLatin1Char('-') + QString::number(mismatch.Last);
    return offsets;
}

QString SecondsText(std::uint64_t ms, TLanguage language) {
    const double seconds = static_cast<double>(ms) / 1000.0;
    const QLocale locale(language == TLanguage::Polish ? QLocale::Polish : QLocale::English);
    return locale.toString(seconds, 'f', seconds < 1.0 ? 2 : 1);
}

TExchangeText ExchangeText(const TExchangeReport& report, TLanguage language) {
    switch (report.Outcome) {
    case TExchangeOutcome::Done:
        return {DoneText(report, language), QString(), QString()};
    case TExchangeOutcome::GaveUp:
        return GaveUpText(report, language);
    case TExchangeOutcome::BadDump:
        return {Text(TUiText::StatusReadBad, language), Text(TUiText::CauseBadCheckByte, language),
                QString()};
    case TExchangeOutcome::Interrupted:
        return {Text(TUiText::StatusInterrupted, language), QString(), QString()};
    case TExchangeOutcome::PortError:
        return {Text(TUiText::StatusPortError, language), QString(), QString()};
    case TExchangeOutcome::VerifyFailed: {
        const QString text = VerifyFailedText(report, language);
        return {text, QString(), text};
    }
    }
    return {};
}

} // namespace halvex
