#pragma once
// Wires "Catagory" and "Application" of the main window's menu to their windows (idempotent).
void registerRegistrationWindows();
