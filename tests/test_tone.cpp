// The tone, played through ALSA for real: a configuration of our own makes the default
// device ALSA's file plugin over its null sink, so the samples Beep plays can be read back
// and measured on any machine, with or without a sound card.

#include "tone.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// Beep never returns before the tone's end; a loaded machine may add a little after it,
// but not a second tone's worth.
constexpr qint64 LateSlackMs = 250;

// The file plugin names its file after what was negotiated (%r rate, %c channels, %f
// sample format), so the test learns the rate the device settled on. The file replaces the
// system's alsa.conf and so defines everything the default device needs.
QByteArray captureConfiguration(const QString &folder)
{
    return QStringLiteral("pcm.!default {\n"
                          "    type file\n"
                          "    slave.pcm { type null }\n"
                          "    file \"%1/tone-%r-%c-%f.raw\"\n"
                          "    format raw\n"
                          "}\n")
        .arg(folder)
        .toUtf8();
}

// ALSA reads its configuration once and keeps it; dropping the kept copy makes the next
// open read the file named here.
void useAlsaConfiguration(const QString &path)
{
    qputenv("ALSA_CONFIG_PATH", QFile::encodeName(path));
    snd_config_update_free_global();
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Points ALSA at asound.conf in `folder`, written with `contents` unless they are empty
// (then there is no configuration file at all).
bool useConfigurationIn(const QString &folder, const QByteArray &contents)
{
    const QString config = folder + QStringLiteral("/asound.conf");
    if (!contents.isEmpty() && !writeFile(config, contents))
        return false;
    useAlsaConfiguration(config);
    return true;
}

struct Capture
{
    int rate = 0;
    int channels = 0;
    std::vector<double> samples; // the first channel, in units of full scale
};

QStringList captureFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("tone-*.raw")}, QDir::Files);
}

std::optional<Capture> readCapture(const QString &folder)
{
    const QStringList files = captureFiles(folder);
    if (files.size() != 1)
        return std::nullopt;
    static const QRegularExpression name(
        QStringLiteral("^tone-(\\d+)-(\\d+)-(S16_LE|S16_BE)\\.raw$"));
    const QRegularExpressionMatch match = name.match(files.first());
    if (!match.hasMatch())
        return std::nullopt;
    QFile file(QDir(folder).filePath(files.first()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();

    Capture capture;
    capture.rate = match.captured(1).toInt();
    capture.channels = match.captured(2).toInt();
    const bool littleEndian = match.captured(3) == QLatin1String("S16_LE");
    const qsizetype frameBytes = 2 * qsizetype(capture.channels);
    if (capture.rate <= 0 || capture.channels <= 0 || bytes.size() % frameBytes != 0)
        return std::nullopt;
    for (qsizetype at = 0; at < bytes.size(); at += frameBytes) {
        const qint16 value = littleEndian ? qFromLittleEndian<qint16>(bytes.constData() + at)
                                          : qFromBigEndian<qint16>(bytes.constData() + at);
        capture.samples.push_back(value / 32768.0);
    }
    return capture;
}

// From the first to the last upward zero crossing, each placed between its two samples.
double measuredFrequency(const Capture &capture)
{
    const std::vector<double> &s = capture.samples;
    std::vector<double> crossings;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0.0 && s[i] >= 0.0)
            crossings.push_back(double(i - 1) + s[i - 1] / (s[i - 1] - s[i]));
    }
    if (crossings.size() < 2)
        return 0.0;
    return double(crossings.size() - 1) * capture.rate / (crossings.back() - crossings.front());
}

double peak(std::vector<double>::const_iterator from, std::vector<double>::const_iterator to)
{
    double highest = 0.0;
    for (auto it = from; it != to; ++it)
        highest = std::max(highest, std::abs(*it));
    return highest;
}

void addToneRows()
{
    QTest::addColumn<int>("frequencyHz");
    QTest::addColumn<int>("durationMs");
    QTest::newRow("high tone, 1000 Hz 300 ms") << 1000 << 300;
    QTest::newRow("low tone, 300 Hz 300 ms") << 300 << 300;
    QTest::newRow("short chirp, 2500 Hz 40 ms") << 2500 << 40;
    QTest::newRow("long tone, 440 Hz 800 ms") << 440 << 800;
}

qint64 timedBeep(int frequencyHz, int durationMs)
{
    QElapsedTimer timer;
    timer.start();
    Beep(frequencyHz, durationMs);
    return timer.elapsed();
}

} // namespace

class ToneTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void playsTheTone_data();
    void playsTheTone();
    void returnsWhenTheToneHasPlayed_data();
    void returnsWhenTheToneHasPlayed();
    void silentWithoutADevice_data();
    void silentWithoutADevice();
    void nothingForEmptyArguments_data();
    void nothingForEmptyArguments();
};

void ToneTest::cleanup()
{
    // ALSA keeps the configuration it read; no case's device should outlive the case.
    snd_config_update_free_global();
    qunsetenv("ALSA_CONFIG_PATH");
}

void ToneTest::playsTheTone_data()
{
    addToneRows();
}

void ToneTest::playsTheTone()
{
    QFETCH(int, frequencyHz);
    QFETCH(int, durationMs);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(useConfigurationIn(folder.path(), captureConfiguration(folder.path())));

    Beep(frequencyHz, durationMs);

    const std::optional<Capture> capture = readCapture(folder.path());
    QVERIFY2(capture, qPrintable(captureFiles(folder.path()).join(QLatin1Char(' '))));
    QCOMPARE(capture->channels, 1);
    const double frequency = measuredFrequency(*capture);
    qDebug("%d Hz %d ms: %zu samples at %d Hz, %.2f Hz measured", frequencyHz, durationMs,
           capture->samples.size(), capture->rate, frequency);

    const double playedMs = 1000.0 * double(capture->samples.size()) / capture->rate;
    QVERIFY2(std::abs(playedMs - durationMs) <= 3.0,
             qPrintable(QStringLiteral("played %1 ms at %2 Hz").arg(playedMs).arg(capture->rate)));

    QVERIFY2(std::abs(frequency - frequencyHz) <= 0.005 * frequencyHz,
             qPrintable(QStringLiteral("measured %1 Hz").arg(frequency)));

    // Loud enough to hear, and faded in and out: the first and last half millisecond stay
    // near silence, where a tone cut on and off would click.
    const auto &s = capture->samples;
    const double loudest = peak(s.begin(), s.end());
    QVERIFY2(loudest >= 0.25, qPrintable(QStringLiteral("peak %1").arg(loudest)));
    const auto edge = std::ptrdiff_t(capture->rate / 2000);
    const double atStart = peak(s.begin(), s.begin() + edge);
    const double atEnd = peak(s.end() - edge, s.end());
    QVERIFY2(atStart <= 0.1 * loudest, qPrintable(QStringLiteral("start %1").arg(atStart)));
    QVERIFY2(atEnd <= 0.1 * loudest, qPrintable(QStringLiteral("end %1").arg(atEnd)));
}

void ToneTest::returnsWhenTheToneHasPlayed_data()
{
    addToneRows();
}

void ToneTest::returnsWhenTheToneHasPlayed()
{
    QFETCH(int, frequencyHz);
    QFETCH(int, durationMs);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(useConfigurationIn(folder.path(), captureConfiguration(folder.path())));

    const qint64 elapsed = timedBeep(frequencyHz, durationMs);

    qDebug("%d Hz %d ms took %lld ms", frequencyHz, durationMs, elapsed);
    QVERIFY2(elapsed >= durationMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed <= durationMs + LateSlackMs, qPrintable(QString::number(elapsed)));
    // The tone went to the device, not the silent fallback; the null sink takes samples at
    // once, so the wait for the tone's end is Beep's own.
    QCOMPARE(captureFiles(folder.path()).size(), 1);
}

void ToneTest::silentWithoutADevice_data()
{
    QTest::addColumn<QByteArray>("configuration");
    QTest::addColumn<int>("durationMs");
    QTest::newRow("default on a card that does not exist")
        << QByteArray("pcm.!default { type hw card \"NoSuchCard\" device 0 }\n") << 300;
    QTest::newRow("default names a device nobody defined")
        << QByteArray("pcm.!default \"tx4040_nowhere\"\n") << 300;
    QTest::newRow("no configuration at all, short tone") << QByteArray() << 120;
}

void ToneTest::silentWithoutADevice()
{
    QFETCH(QByteArray, configuration);
    QFETCH(int, durationMs);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(useConfigurationIn(folder.path(), configuration));

    const qint64 elapsed = timedBeep(1000, durationMs);

    qDebug("no device, %d ms took %lld ms", durationMs, elapsed);
    QVERIFY2(elapsed >= durationMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed <= durationMs + LateSlackMs, qPrintable(QString::number(elapsed)));
}

void ToneTest::nothingForEmptyArguments_data()
{
    QTest::addColumn<int>("frequencyHz");
    QTest::addColumn<int>("durationMs");
    QTest::newRow("zero duration") << 1000 << 0;
    QTest::newRow("negative duration") << 1000 << -300;
    QTest::newRow("zero frequency") << 0 << 300;
    QTest::newRow("negative frequency") << -1000 << 300;
}

void ToneTest::nothingForEmptyArguments()
{
    QFETCH(int, frequencyHz);
    QFETCH(int, durationMs);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(useConfigurationIn(folder.path(), captureConfiguration(folder.path())));

    const qint64 elapsed = timedBeep(frequencyHz, durationMs);

    QVERIFY2(elapsed < 50, qPrintable(QString::number(elapsed)));
    // The file plugin creates its file when the device is set up: none means it never was.
    QVERIFY(captureFiles(folder.path()).isEmpty());
}

QTEST_GUILESS_MAIN(ToneTest)
#include "test_tone.moc"
