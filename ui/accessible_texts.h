#pragma once

#include <QString>

// What a screen reader says of the controls whose pictures, lamps or hidden captions
// carry no words, in the window's three languages (the message table's columns).
enum class AccessibleText
{
    LockBox, // chkLock
    LockBoxDescription,
    CommunicationLamp, // shComm
    Idle,              // its states
    Busy,
    Success,
    Failure,
    InputLamp, // shDI1 to shDI4: "%1" is the input's name
    On,        // their states
    Off,
    AllOutputs, // btnAll
    AllOutputsDescription,
    SimplifiedChinese,  // btnGB
    TraditionalChinese, // btnBIG5
};

// The text in that language; a language outside the three reads English.
QString AccessibleTextOf(AccessibleText text, int languageIndex);
