// Message boxes where nobody can answer: the question goes to stderr and the cautious answer is taken.
#include "ConsoleMessageBoxes.h"

namespace {

QString answerName(MessageBoxes::Answer answer)
{
    switch (answer) {
    case MessageBoxes::Answer::Ok:
        return QStringLiteral("OK");
    case MessageBoxes::Answer::Cancel:
        return QStringLiteral("Cancel");
    case MessageBoxes::Answer::Yes:
        return QStringLiteral("Yes");
    case MessageBoxes::Answer::No:
        return QStringLiteral("No");
    }
    return {};
}

} // namespace

MessageBoxes::Answer ConsoleMessageBoxes::ask(const Message& message)
{
    Answer answer = Answer::Ok;
    switch (message.buttons) {
    case Buttons::YesNo:
        answer = Answer::No;
        break;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
        answer = Answer::Cancel;
        break;
    case Buttons::Ok:
        break;
    }
    const QString text = message.text.simplified();
    std::fprintf(m_stream, "drvmap: %s: %s [no display to ask on: answered %s]\n", qPrintable(message.title),
                 qPrintable(text), qPrintable(answerName(answer)));
    std::fflush(m_stream);
    return answer;
}
