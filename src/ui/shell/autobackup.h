#pragma once
// After a login on an embedded book: today's automatic backup, in the background. The number
// kept comes from the setting "Backups/Keep" (default 7; 0 turns the automatic backups off).
void StartDailyBackup();
