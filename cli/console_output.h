#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

// Bytes as they are, UTF-8 texts included, flushed at once so that a pipe sees each line
// as it happens.
inline void WriteTo(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Every JSON object that tx4040 prints, with the version of its form at the top level:
// a key that changes its meaning or goes away makes a new version.
inline QByteArray JsonReport(QJsonObject object,
                             QJsonDocument::JsonFormat format = QJsonDocument::Indented)
{
    object.insert(QStringLiteral("schema"), 1);
    return QJsonDocument(object).toJson(format);
}

// Local time with its zone and milliseconds: 2026-12-09T20:09:21.937+01:00.
inline QString LocalTimestamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// Said after a search that could open no port and has no reason to give for any.
inline constexpr char NoPortOpenedHint[] =
    "tx4040: no COM port could be opened; tx4040 ports lists what this program sees\n";
