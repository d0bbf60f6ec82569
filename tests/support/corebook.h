#pragma once
// A core suite's open book under the names the windows give the program's own (a core suite
// links no window, so it makes its own).
#include "session/book.h"

namespace {
qv::Book TheBook;
qv::Connection& Conn = TheBook.connection();
QString& LoginUser = TheBook.user;
QString& LoginPassword = TheBook.password;
} // namespace
