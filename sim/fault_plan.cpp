#include "fault_plan.h"

namespace {

struct KindName
{
    const char *name;
    FaultKind kind;
    int defaultValue;
};

const KindName kindNames[] = {
    {"no-reply", FaultKind::NoReply, 0},
    {"late", FaultKind::LateReply, 200},
    {"bad-checksum", FaultKind::BadChecksum, 0},
    {"lowercase-checksum", FaultKind::LowercaseChecksum, 0},
    {"wrong-length", FaultKind::WrongLength, 1},
    {"stray-byte", FaultKind::StrayByte, '~'},
    {"babble", FaultKind::Babble, 0},
    {"zero-byte", FaultKind::ZeroByte, 6},
    {"hang-up", FaultKind::HangUp, 0},
    {"raw", FaultKind::RawReply, 0},
    {"pretend", FaultKind::Pretend, 0},
    {"leave", FaultKind::Leave, 0},
};

std::optional<Fault> fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

} // namespace

std::optional<Fault> ParseFault(const QString &text, QString *error)
{
    QString rest = text.trimmed();
    Fault fault;

    if (const qsizetype star = rest.indexOf(u'*'); star >= 0) {
        const QString count = rest.mid(star + 1);
        rest.truncate(star);
        bool ok = false;
        fault.count = count == u"always" ? Fault::Always : count.toInt(&ok);
        if (count != u"always" && (!ok || fault.count < 1))
            return fail(error, QStringLiteral("bad fault count: %1").arg(count));
    }
    if (const qsizetype at = rest.indexOf(u'@'); at >= 0) {
        fault.command = rest.mid(at + 1).toLatin1();
        rest.truncate(at);
    }
    QString value;
    if (const qsizetype eq = rest.indexOf(u'='); eq >= 0) {
        value = rest.mid(eq + 1);
        rest.truncate(eq);
    }
    for (const KindName &k : kindNames) {
        if (rest == QLatin1String(k.name)) {
            fault.kind = k.kind;
            fault.value = k.defaultValue;
            if (k.kind == FaultKind::RawReply) {
                fault.raw = QByteArray::fromHex(value.toLatin1());
                if (fault.raw.isEmpty())
                    return fail(error, QStringLiteral("raw takes bytes in hexadecimal"));
            } else if (!value.isEmpty()) {
                bool ok = false;
                fault.value = value.toInt(&ok);
                if (!ok)
                    return fail(error, QStringLiteral("bad fault value: %1").arg(value));
            }
            return fault;
        }
    }
    return fail(error, QStringLiteral("unknown fault: %1").arg(rest));
}

void FaultPlan::add(const Fault &fault)
{
    m_faults.append(fault);
}

void FaultPlan::clear()
{
    m_faults.clear();
}

std::optional<Fault> FaultPlan::take(const QByteArray &command)
{
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        Fault &f = m_faults[i];
        if (!command.startsWith(f.command))
            continue;
        const Fault taken = f;
        if (f.count != Fault::Always && --f.count == 0)
            m_faults.removeAt(i);
        return taken;
    }
    return std::nullopt;
}
