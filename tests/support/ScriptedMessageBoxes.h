// Message boxes answered from a script, for tests: no test can hang on a question.
#pragma once

#include "platform/MessageBoxes.h"

#include <QList>

#include <functional>

class ScriptedMessageBoxes final : public MessageBoxes
{
public:
    // Answers the next questions in order; a question beyond the script is answered Cancel and
    // remembered as unexpected.
    void setNextAnswers(QList<Answer> answers) { m_answers = std::move(answers); }
    void reset()
    {
        m_answers.clear();
        onAsk = nullptr;
        asked.clear();
        unexpected = 0;
        beeps = 0;
    }

    Answer ask(const Message& message) override
    {
        asked.append(message);
        if (onAsk)
            onAsk(message);
        if (m_answers.isEmpty()) {
            ++unexpected;
            return Answer::Cancel;
        }
        return m_answers.takeFirst();
    }
    void beep() override { ++beeps; }

    // Runs as each question is asked, before it is answered: a test can change the world in between.
    std::function<void(const Message&)> onAsk;
    QList<Message> asked;
    int unexpected = 0;
    int beeps = 0;

private:
    QList<Answer> m_answers;
};
