#pragma once
// The category and application windows under their documented names, and the menu entries
// "Catagory" and "Application" that open them (idempotent).
namespace qv {
void defineRegistrations();
}
