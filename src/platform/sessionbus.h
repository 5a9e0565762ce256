#pragma once
// A bounded look at the session bus before anything waits on it. The bus
// library waits without a bound for a bus that takes the connection and
// never answers (a hung or stopped daemon, or something else listening on
// its socket), and Qt's own users of the bus (the accessibility bridge, the
// platform theme) connect while the first windows are made.

#include <QString>

// How long the look at the bus may take, in milliseconds.
constexpr int kSessionBusProbeTimeout = 3000;

// The session bus address the bus library would use: the environment's, or
// the user's bus in XDG_RUNTIME_DIR; empty when there is none.
QString SessionBusAddress();

// True when the first address of the list that takes a connection does not
// complete the greeting and answer Hello within timeoutMs. False when it
// answers, when no address takes a connection (the bus library fails at once
// then too) and when an address is of a kind this cannot try.
bool SessionBusIsSilent(const QString &address, int timeoutMs);

// Called before the application object exists: when the session bus is
// silent, the environment is pointed at an address that fails at once, so
// that nothing in this process waits for that bus. True when it did so.
bool DropSilentSessionBus(int timeoutMs = kSessionBusProbeTimeout);
