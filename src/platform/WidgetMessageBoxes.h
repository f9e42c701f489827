// Message boxes on the screen.
#pragma once

#include "MessageBoxes.h"

class WidgetMessageBoxes final : public MessageBoxes
{
public:
    Answer ask(const Message& message) override;
    void beep() override;
};
