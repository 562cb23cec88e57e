// The Phone Agent's "mms2" restore service played by the simulator.
//
// The dialogue: the phone sends "$defsmsapp:<n>" (the fixture's
// "defaultSmsApp", 0 when absent); when n is not 0 it waits for the PC's
// "$defsmsapp:" (the user made it the default SMS app). Then batches as in
// every restore service, each message a "$sms:" line announcing how many
// attachments follow, each attachment an "$atta:<mime>,<name>" line, its
// data as strict Base64 lines and "." (answered with "."). Every line is
// checked; a line that does not fit is answered with "$error:" and ends the
// session, its reason kept in RestoreStore::errors().
//
// Acknowledged messages are kept in RestoreStore::records("mms2") in the
// fixture's "messages" form (dateMs, type 2 sent / 1 received, address,
// body, subject, attachments with name, mime and base64), so that a later
// "mms2" load of the same simulator returns them after the fixture's own.
#pragma once

namespace phonesim {

class RestoreStore;
class Session;

void messageRestoreSession(Session& s, RestoreStore& store);

} // namespace phonesim
