// Message boxes where nobody can answer: the question goes to stderr and the cautious answer is taken.
#pragma once

#include "MessageBoxes.h"

#include <cstdio>

class ConsoleMessageBoxes final : public MessageBoxes
{
public:
    explicit ConsoleMessageBoxes(FILE* stream = stderr)
        : m_stream(stream)
    { }

    // No for a yes/no question, Cancel where there is one, otherwise OK.
    Answer ask(const Message& message) override;
    void beep() override { }

private:
    FILE* m_stream;
};
