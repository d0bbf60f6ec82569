#pragma once
// The main window's status bar, reached from any window without knowing the frame: a save, a
// delete or a removal that shows no message box says here what happened.
#include <QString>
#include <functional>

namespace qv::Status {

using Sink = std::function<void(const QString&)>;
// The frame installs where the text goes; returns the previous sink.
Sink setSink(Sink sink);
void say(const QString& text);

} // namespace qv::Status
