// The Phone Agent's "contacts" restore service, played by the simulator.
//
// Each batch ("$batch:" ... "$end:") holds "$ent:" lines (a data row to
// create or change), "$del:" lines (a row, or with a name row's id the
// whole contact, to delete) and "$ungroup:" lines (a phone contact id in
// decimal: the contact leaves every group it is in; a contact the phone
// does not have has nothing to leave). A row whose id ends in a negative
// number is new: a new name row makes a new contact, any other new row goes
// to the phone's contact named by the id's second number, which must exist.
// A row with a non-negative last number must be one the phone holds. Every
// line is checked as the agent's restore side would (contactcodec's strict
// reading, at most 20 contacts per batch, no row twice in a batch); a line
// that does not fit is answered with "$error:" and ends the session. A
// checked batch is applied to the phone's ContactBook as a whole, then
// answered with "$batch:" and one "old=>new" pair per row it created,
// joined by ";".
#pragma once

namespace phonesim {

class RestoreStore;
class Session;

void contactsRestoreSession(Session& s, RestoreStore& store);

} // namespace phonesim
