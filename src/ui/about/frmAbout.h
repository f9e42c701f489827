// The About box: the banner, the version and the notice, closed by a click or Esc.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* lblVersion = nullptr;
    QPlainTextEdit* Text1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void Form_Click();
    void lblVersion_Click();
    bool Text1_KeyPress(int KeyAscii);
};
