// One saved drive mapping and its fixed 212-byte slot in the record file.
#include "DriveRecord.h"

#include "Cp1252.h"

#include <QtEndian>

namespace {

struct Field
{
    int offset;
    int width;
};

constexpr Field RecordNameField {0, 15};
constexpr Field RemoteNameField {15, 75};
constexpr Field UserNameField {90, 15};
constexpr Field PasswordField {105, 100};
constexpr Field AutoConnectField {205, 1};
constexpr Field AutoMapField {206, 1};
constexpr Field LocalDriveField {207, 2};
constexpr Field PromptPasswordField {209, 1};
constexpr int RecordNumberOffset = 210;

QString readText(const QByteArray& slot, Field field)
{
    QByteArrayView bytes = QByteArrayView(slot).sliced(field.offset, field.width);
    if (const auto zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    return Cp1252::toUnicode(bytes);
}

void writeText(QByteArray& slot, Field field, const QString& text)
{
    const QByteArray bytes = Cp1252::fromUnicode(text).left(field.width);
    slot.replace(field.offset, bytes.size(), bytes);
}

} // namespace

DriveRecord DriveRecord::fromSlot(QByteArrayView slot)
{
    QByteArray bytes = slot.first(qMin<qsizetype>(slot.size(), SlotSize)).toByteArray();
    bytes.append(SlotSize - bytes.size(), '\0');

    DriveRecord record;
    record.RecordName = readText(bytes, RecordNameField);
    record.RemoteName = readText(bytes, RemoteNameField);
    record.UserName = readText(bytes, UserNameField);
    record.Password = readText(bytes, PasswordField);
    record.AutoConnect = readText(bytes, AutoConnectField);
    record.AutoMap = readText(bytes, AutoMapField);
    record.LocalDrive = readText(bytes, LocalDriveField);
    record.PromptPassword = readText(bytes, PromptPasswordField);
    record.RecordNumber = qFromLittleEndian<qint16>(bytes.constData() + RecordNumberOffset);
    return record;
}

QByteArray DriveRecord::toSlot() const
{
    QByteArray slot(SlotSize, ' ');
    writeText(slot, RecordNameField, RecordName);
    writeText(slot, RemoteNameField, RemoteName);
    writeText(slot, UserNameField, UserName);
    writeText(slot, PasswordField, Password);
    writeText(slot, AutoConnectField, AutoConnect);
    writeText(slot, AutoMapField, AutoMap);
    writeText(slot, LocalDriveField, LocalDrive);
    writeText(slot, PromptPasswordField, PromptPassword);
    qToLittleEndian<qint16>(RecordNumber, slot.data() + RecordNumberOffset);
    return slot;
}

bool isBlankField(const QString& field)
{
    if (field.isEmpty())
        return true;
    const int code = static_cast<unsigned char>(Cp1252::fromUnicode(field.first(1)).at(0));
    return QString::number(code).startsWith(u'3');
}

bool isBlankSlot(const DriveRecord& record)
{
    return isBlankField(record.RemoteName);
}
