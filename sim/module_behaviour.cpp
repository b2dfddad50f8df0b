#include "module_behaviour.h"

#include "line_setting.h"

#include <cctype>

namespace {

bool onlyFlags(const QByteArray &text)
{
    for (const char c : text) {
        if (c != '0' && c != '1')
            return false;
    }
    return true;
}

bool isModuleId(const QByteArray &id)
{
    return id.size() == 2 && std::isdigit(static_cast<unsigned char>(id[0])) &&
           std::isdigit(static_cast<unsigned char>(id[1])) && id != "00";
}

} // namespace

QByteArray ModuleState::inputStates() const
{
    auto on = [](const QByteArray &flags, int i) { return i < flags.size() && flags[i] == '1'; };
    QByteArray states(4, '0');
    for (int i = 0; i < 4; ++i)
        states[i] = on(contacts, i) != on(polarity, i) ? '1' : '0';
    return states;
}

ModuleBehaviour::ModuleBehaviour(ModuleState state) : m_state(std::move(state)) {}

QByteArray ModuleBehaviour::ack(char letter, const QByteArray &data) const
{
    return '!' + m_state.id + letter + data;
}

QByteArray ModuleBehaviour::refuse(char letter) const
{
    return '?' + m_state.id + letter;
}

ModuleResponse ModuleBehaviour::handle(const QByteArray &command)
{
    if (command.size() < 4 || !command.startsWith("B00"))
        return {};
    const char letter = command[3];
    const QByteArray args = command.mid(4);

    switch (letter) {
    case 'B':
        if (args.isEmpty())
            return {ack('B', m_state.serialNo), {}};
        break;
    case 'V':
        if (args.isEmpty())
            return {ack('V', m_state.version), {}};
        break;
    case 'G':
        if (args.isEmpty())
            return {ack('G', m_state.holdMode ? "H" : "S"), {}};
        if (args == "H" || args == "S") {
            m_state.holdMode = args == "H";
            return {ack('G', args), {}};
        }
        break;
    case 'A':
        if (args.isEmpty())
            return {ack('A', m_state.polarity), {}};
        if (args.size() == 16 && onlyFlags(args)) {
            m_state.polarity = args;
            return {ack('A'), {}};
        }
        break;
    case 'C':
        // Addressed by serial number: a module that is not the one named keeps quiet,
        // so that only one module on a shared line answers.
        if (args.size() == 10 && args.left(8) != m_state.serialNo)
            return {};
        if (args.size() == 10 && isModuleId(args.mid(8))) {
            m_state.id = args.mid(8);
            return {ack('C'), {}};
        }
        break;
    case 'E':
        if (args.size() == 1) {
            if (const auto index = SettingIndexForCode(args[0]))
                return {ack('E'), *index};
        }
        break;
    case 'F':
        if (args.size() == 4 && onlyFlags(args)) {
            m_state.outputs = args;
            return {ack('F', m_state.inputStates()), {}};
        }
        break;
    default:
        break;
    }
    return {refuse(letter), {}};
}

namespace SimFrame {

QByteArray checksumDigits(quint8 checksum, bool lowercase)
{
    const char *digits = lowercase ? "0123456789abcdef" : "0123456789ABCDEF";
    const char pair[2] = {digits[checksum >> 4], digits[checksum & 0x0F]};
    return QByteArray(pair, 2);
}

quint8 xorOf(const QByteArray &bytes, quint8 start)
{
    for (const char c : bytes)
        start ^= static_cast<quint8>(c);
    return start;
}

QByteArray reply(const QByteArray &body)
{
    const QByteArray head = '\n' + body;
    return head + checksumDigits(xorOf(head)) + '\r';
}

} // namespace SimFrame
