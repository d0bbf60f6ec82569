#pragma once
// Wires each subsystem's windows to their menu entries (idempotent).
void registerAllOpeners();
