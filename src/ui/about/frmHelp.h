// The help window: a fixed text on the program in five frames, open beside the main window.
#pragma once

#include <QDialog>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

class frmHelp : public QDialog
{
    Q_OBJECT

public:
    // Closed in any way, by Done, Esc or the close box, the window deletes itself.
    explicit frmHelp(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QPlainTextEdit* Text4 = nullptr;
    QPlainTextEdit* Text5 = nullptr;
    QPushButton* cmdDone = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void cmdDone_Click();
    void arrange();
};
