// The auto-start window: puts the program's entry into the autostart folder, and lists and deletes its entries.
#pragma once

#include <QDialog>
#include <QProcessEnvironment>

class MessageBoxes;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;

class frmAutoStart : public QDialog
{
    Q_OBJECT

public:
    // programPath is the program's own absolute path, which the entry starts; environment locates the folder.
    frmAutoStart(const QString& programPath, const QProcessEnvironment& environment, MessageBoxes& messages,
                 QWidget* parent = nullptr);

    // The autostart folder followed by a slash.
    QString StartupFolder;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QTreeWidget* lsvLinks = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdClose = nullptr;
    QMenu* mnuLinks = nullptr;
    QAction* mnuDeleteLink = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdClose_Click();
    void lsvLinks_MouseUp(Qt::MouseButton button, QPoint position);
    void mnuDeleteLink_Click();
    void ListStartupLinks();

    // Add and Delete as the folder stands: only one of them has something to do.
    void setButtonsByEntry();
    void showError(const QString& description);

    QString m_programPath;
    QProcessEnvironment m_environment;
    MessageBoxes& m_messages;
};
