#include "config/ExchangeText.h"

#include <QLocale>

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
        return Text(TUiText::StatusWritten, language).arg(report.Total).arg(seconds);
    case TExchangeKind::Apply:
        return Text(TUiText::StatusApplied, language).arg(seconds);
    case TExchangeKind::FontUpload:
        return Text(TUiText::StatusFontDone, language).arg(report.Total).arg(seconds);
    }
    return QString();
}

// A give-up: the status names the frame it stopped at (counted from 1), the cause the
// frame's index and the tries its budget allowed.
TExchangeText GaveUpText(const TExchangeReport& report, TLanguage language) {
    const int stoppedAt = report.Confirmed + 1;
    const auto stopped = [&](TUiText status, TUiText cause) {
        return TExchangeText{Text(status, language).arg(stoppedAt).arg(report.Total),
                             Text(cause, language).arg(report.Confirmed).arg(report.Budget)};
    };
    switch (report.Kind) {
    case TExchangeKind::LinkTest:
        return {Text(TUiText::StatusNoAnswer, language),
                Text(TUiText::CauseNoAnswer, language).arg(report.Budget)};
    case TExchangeKind::Read:
        return {Text(TUiText::StatusReadNoAnswer, language),
                Text(TUiText::CauseNoDump, language).arg(report.Budget)};
    case TExchangeKind::Write:
        return stopped(TUiText::StatusWriteStopped, TUiText::CauseBlockLost);
    case TExchangeKind::Apply:
        return stopped(TUiText::StatusApplyStopped, TUiText::CauseBlockLost);
    case TExchangeKind::FontUpload:
        return stopped(TUiText::StatusFontStopped, TUiText::CauseCharacterLost);
    }
    return {};
}

} // namespace

QString SecondsText(std::uint64_t ms, TLanguage language) {
    const double seconds = static_cast<double>(ms) / 1000.0;
    const QLocale locale(language == TLanguage::Polish ? QLocale::Polish : QLocale::English);
    return locale.toString(seconds, 'f', seconds < 1.0 ? 2 : 1);
}

TExchangeText ExchangeText(const TExchangeReport& report, TLanguage language) {
    switch (report.Outcome) {
    case TExchangeOutcome::Done:
        return {DoneText(report, language), QString()};
    case TExchangeOutcome::GaveUp:
        return GaveUpText(report, language);
    case TExchangeOutcome::BadDump:
        return {Text(TUiText::StatusReadBad, language), Text(TUiText::CauseBadCheckByte, language)};
    case TExchangeOutcome::Interrupted:
        return {Text(TUiText::StatusInterrupted, language), QString()};
    case TExchangeOutcome::PortError:
        return {Text(TUiText::StatusPortError, language), QString()};
    }
    return {};
}

} // namespace halvex
