// SPDX-License-Identifier: GPL-3.0-or-later
// When an exchange waits for the board, repeats its command, or holds a code
// back until the port is known: the rules, apart from the port's I/O.
//
// A board as sold resets whenever DTR rises, and a command sent before its
// firmware listens again is lost in the bootloader. Where the port's HUPCL
// flag shows that an opening raised DTR, the exchange waits for the hand-over.
// A rise that nothing shows (another program dropped DTR, a resume from
// suspend, a driver that raises DTR at every opening) is found only by its
// effect: no reply. The reset may leave one stray byte on the line as the
// board's transmitter settles, so bytes without a full stop count as no reply.
// Then a command that is harmless to send twice is sent again once the
// hand-over is over; so it is after a wait that proved too short (a loaded
// machine, a slow bootloader). A code is never sent twice (a second
// copy of a lock code would be refused and a lock reported as failed), so it
// goes only to a port whose openings this run has already seen, and waits after
// each opening where they reset the board.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace safeexchange {

// What this run has seen of a port's openings.
enum class Openings : unsigned char {
    Unknown,       // no exchange with it has been answered yet
    KeepTheBoard,  // a command sent at once after the last opening was answered
    ResetTheBoard, // the board answered only after the hand-over: openings reset it
};

// "T" and "V" only ask; the safe's state is the same after a second copy.
bool HarmlessToRepeat(std::string_view command);

// A lock or unlock code: what the safe does with it must happen once.
bool IsCode(std::string_view command);

// True when an exchange must first learn how the port behaves, with a
// harmless command of its own, before `command` may go.
bool LearnPortFirst(std::string_view command, Openings known);

// Whether to wait for the hand-over before the first write. A code waits
// after every opening of a port whose openings reset the board; a harmless
// command does not, since its repeat covers it and tells whether the port
// still behaves so.
bool WaitAfterOpening(bool flagShowsReset, Openings known, std::string_view command);

// Whether to send the command once more in the same opening: the command is
// harmless and the bytes received hold no reply, whether or not the exchange
// waited for the hand-over.
bool RepeatAfterSilence(std::string_view command, std::string_view bytesReceived);

// What the port's openings are known to do after an exchange. `answered`:
// its copies agreed. A wait hides whether the opening reset the board, and
// silence after a wait tells only that the wait was too short, except when
// the port's own flag caused the wait: a port whose flag tells its resets
// keeps the board running at later openings, since the exchange leaves DTR
// up. Without a wait, an answer only to the repeat shows a reset nothing
// showed.
Openings LearnFrom(Openings known, bool flagShowsReset, bool waited, bool repeated, bool answered);

// What this run has seen of each port, by device name (not thread-safe: one
// exchange runs at a time, on whichever thread the windows start it).
Openings KnownOpenings(const std::string &device);
void RememberOpenings(const std::string &device, Openings openings);

} // namespace safeexchange
