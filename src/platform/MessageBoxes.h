// Message boxes and the beep: the one seam through which the program asks and warns the user.
#pragma once

#include <QString>

class MessageBoxes
{
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Icon { None, Critical };
    // The codes of the classic message box answers.
    enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    struct Message
    {
        QString title;
        QString text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
    };

    MessageBoxes() = default;
    virtual ~MessageBoxes() = default;
    Q_DISABLE_COPY_MOVE(MessageBoxes)

    // Modal: returns when the user has answered.
    virtual Answer ask(const Message& message) = 0;
    virtual void beep() = 0;
};
