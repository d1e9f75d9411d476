#pragma once
// tesvan --log FILE: the program's categories (store/Log.h) turned on and written, one line each,
// to a file that support can ask for. Messages of other categories (Qt's own) go where they went.
#include <QString>

namespace app {

// Opens path for appending and sends the program's messages there from now on. An empty text,
// or why the file cannot be written (nothing changes then).
QString startLogFile(const QString& path);

// Stops writing the log and closes it; messages go where they went before.
void stopLogFile();

} // namespace app
