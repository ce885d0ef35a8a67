#include "cli/Doctor.h"

#include "config/ExchangeText.h"

#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace halvex::cli {

namespace {

constexpr TLanguage kLanguage = TLanguage::English;

TAfFinding Finding(TAfCheck check, TAfCheckStatus status, TAfText detail, TAfText fix = {}) {
    TAfFinding f;
    f.Check = check;
    f.Status = status;
    f.Detail = std::move(detail);
    f.Fix = std::move(fix);
    return f;
}

TAfFinding Board(TAfCheckStatus status, TAfText detail, TAfText fix = {}) {
    return Finding(TAfCheck::Board, status, std::move(detail), std::move(fix));
}

// `value` with `decimals` digits after the point.
std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The lines of an error joined into one.
std::string OneLine(std::string text) {
    for (std::size_t at; (at = text.find('\n')) != std::string::npos;)
        text.replace(at, 1, ": ");
    return text;
}

} // namespace

TAfFinding BoardCheck(TBoardSession& session, std::uint16_t number) {
    using T = TDoctorText;
    TExchangeReport report;
    try {
        session.Open(number);
        TOsdLink& link = session.Link();
        // An acknowledgement without a letter answers a frame of an earlier session that was
        // cut off, not this check: the check is repeated, as every board job does.
        for (int attempt = 0;
             attempt < 3 && report.Outcome == TExchangeOutcome::Done && report.Reply == 0;
             ++attempt)
            report = session.Run([&link] {
                link.StartTest();
                return link.Busy();
            });
    } catch (const std::exception& e) {
        return Board(TAfCheckStatus::Fail, {T::BoardOpenFails, {OneLine(e.what())}});
    }
    const double seconds = session.Seconds();
    if (report.Outcome == TExchangeOutcome::Interrupted)
        return Board(TAfCheckStatus::Fail, {T::BoardInterrupted});
    if (report.Outcome != TExchangeOutcome::Done) {
        // "no answer to the connection check after 60 tries", from the link's budget.
        const TExchangeText ended = ExchangeText(report, kLanguage);
        const QString cause = ended.Cause.isEmpty() ? ended.Status : ended.Cause;
        return Board(TAfCheckStatus::Fail,
                     {T::BoardNoAnswer, {cause.toStdString(), Fixed(seconds, 1)}},
                     {T::FixBoardWiring});
    }
    if (report.Reply != 'R')
        return Board(
            TAfCheckStatus::Fail,
            {T::BoardNotReady, {report.Reply != 0 ? std::string(1, report.Reply) : "(none)"}},
            {T::FixBoardWait});
    return Board(TAfCheckStatus::Ok, {T::BoardReady, {Fixed(seconds * 1000, 1)}});
}

std::vector<TAfFinding> DoctorChecks(const std::string& path,
                                     const std::function<TAfFinding()>& board) {
    std::vector<TAfFinding> findings = AfPortChecks(path);
    if (DoctorPassed(findings))
        findings.push_back(board());
    else
        findings.push_back(Board(TAfCheckStatus::Skip, {TDoctorText::SkipEarlierFailure}));
    return findings;
}

TAfFinding PortsFinding(const std::vector<std::string>& found) {
    using T = TDoctorText;
    if (found.empty())
        return Finding(TAfCheck::Ports, TAfCheckStatus::Warn, {T::PortsNone}, {T::FixPlugIn});
    std::string list;
    for (const std::string& port : found)
        list += (list.empty() ? "" : ", ") + port;
    return Finding(TAfCheck::Ports, TAfCheckStatus::Ok, {T::PortsFound, {list}});
}

bool DoctorPassed(const std::vector<TAfFinding>& findings) {
    return std::none_of(findings.begin(), findings.end(),
                        [](const TAfFinding& f) { return f.Status == TAfCheckStatus::Fail; });
}

std::string DoctorReport(const std::vector<TAfFinding>& findings) {
    std::string text;
    for (const TAfFinding& f : findings) {
        char head[64];
        std::snprintf(head, sizeof head, "%-5s %-14s ", AfCheckStatusName(f.Status),
                      AfCheckName(f.Check));
        text += (text.empty() ? "" : "\n") + std::string(head) + f.Detail.In(kLanguage);
        if (f.Fix.Id != TDoctorText::None)
            text += "\n      fix: " + f.Fix.In(kLanguage);
    }
    return text;
}

QJsonArray DoctorJson(const std::vector<TAfFinding>& findings) {
    QJsonArray checks;
    for (const TAfFinding& f : findings) {
        const QJsonValue fix = f.Fix.Id != TDoctorText::None
                                   ? QJsonValue(QString::fromStdString(f.Fix.In(kLanguage)))
                                   : QJsonValue(QJsonValue::Null);
        checks.append(QJsonObject{
            {QStringLiteral("name"), QString::fromLatin1(AfCheckName(f.Check))},
            {QStringLiteral("status"), QString::fromLatin1(AfCheckStatusName(f.Status))},
            {QStringLiteral("detail"), QString::fromStdString(f.Detail.In(kLanguage))},
            {QStringLiteral("fix"), fix}});
    }
    return checks;
}

} // namespace halvex::cli
