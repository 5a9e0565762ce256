#pragma once
// A bounded look at the session bus before anything waits on it. The bus
// library waits without a bound for a bus that takes the connection and
// never answers (a hung or stopped daemon, or something else listening on
// its socket), and Qt's own users of the bus (the accessibility bridge, the
// platform theme) connect while the first windows are made.

#include <QProcessEnvironment>
#include <QString>

#include <optional>

// How long the look at the bus may take, in milliseconds.
constexpr int kSessionBusProbeTimeout = 3000;

// The session bus address the bus library would use: the environment's, or
// the user's bus in XDG_RUNTIME_DIR; empty when there is none.
QString SessionBusAddress();

// True when the bus library's connection to the address (the first entry of
// the list that connects, any transport it knows) does not complete its
// greeting and answer Hello within timeoutMs. False when it answers and when
// the library fails at once (nothing listens, an address it cannot use).
bool SessionBusIsSilent(const QString &address, int timeoutMs);

// Called before the application object exists: when the session bus is
// silent, the environment is pointed at an address that fails at once, so
// that nothing in this process waits for that bus. True when it did so.
bool DropSilentSessionBus(int timeoutMs = kSessionBusProbeTimeout);

// Whether this run found the bus at the address silent: the start's look,
// or one look now for an address this run has not looked at yet, whose
// result is kept. The stand-in for a silent bus counts as silent.
bool SessionBusFoundSilent(const QString &address);

// As SessionBusFoundSilent, for the window thread: waits at most waitMs for
// a look at an address this run has not looked at yet, then leaves the look
// to run on a thread of its own (one look an address) and answers empty;
// asked again, it answers once the look has ended.
std::optional<bool> SessionBusFoundSilentWithin(const QString &address, int waitMs);

// True while the environment holds the stand-in for a silent bus.
bool SessionBusDropped();

// This process's environment with the session bus address the user gave
// it: for the programs started for the user (browser, mail program), which
// must not be cut off from the user's bus by the stand-in.
QProcessEnvironment UserProcessEnvironment();
