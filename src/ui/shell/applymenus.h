#pragma once
// Re-reads the Menus table and shows or hides the main window's entries; shows the home panel.
void ApplyMenus();
