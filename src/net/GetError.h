// The short texts that the status line shows for the networking layer's result codes.
#pragma once

#include <QString>
#include <QtGlobal>

// The text for code, or the code in decimal when it has none.
QString GetErrorText(const qint32& code);
