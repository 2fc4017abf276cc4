// The session struct of acq_open as the entries that take it read it: its
// id and ring name the live session, whose engine they then use.  Included
// by the entry files of acq_read, acq_window, acq_events, acq_status and
// acq_close only.
#pragma once

#include <cstdint>

#include "acquisition/engine.h"
#include "acquisition/session_entry.h"
#include "acquisition/sessions.h"
#include "host/mexhost.h"

namespace {

// The struct's fields that name its session.
struct SessionKey {
  int32_t id = 0;
  const void* ring = nullptr;
};

inline const mxArray* scalar_field(const mxArray* s, const char* name, mxClassID cls) {
  const mxArray* f = mxGetField(s, 0, name);
  if (!f || mxGetClassID(f) != cls || mxIsComplex(f) || host::numel(f) != 1) return nullptr;
  return f;
}

// Reads the key of the struct acq_open returned; "<deliverable>:notSession"
// for anything else.
inline SessionKey session_key(const char* deliverable, const mxArray* s) {
  const mxArray* id = nullptr;
  const mxArray* ring = nullptr;
  if (mxIsStruct(s) && host::numel(s) == 1) {
    id = scalar_field(s, "id", mxINT32_CLASS);
    ring = scalar_field(s, "ring", mxUINT64_CLASS);
  }
  if (!id || !ring)
    host::fail_for(deliverable, "notSession",
                   "The input must be the session struct that acq_open returned (with its int32 id and uint64 ring).");
  SessionKey key;
  key.id = host::first_of<int32_t>(id);
  key.ring = reinterpret_cast<const void*>(static_cast<uintptr_t>(host::first_of<uint64_t>(ring)));
  return key;
}

// The engine of the live session the struct names; "<deliverable>:noSession"
// when the session has ended.
inline acquisition::Engine* session_engine(const char* deliverable, const mxArray* s,
                                           acquisition::SessionRecord& session) {
  const SessionKey key = session_key(deliverable, s);
  if (!acquisition::find_session_by_id(key.id, key.ring, session))
    host::fail_for(deliverable, "noSession",
                   "Session %d is no longer live: it was closed (acq_close), stopped (acq_stop_all, clear all), or "
                   "never opened in this process.",
                   key.id);
  if (!session.engine)
    host::fail_for(deliverable, "notSession",
                   "%s was started with acq_start, not acq_open: read it with acq_fetch.", describe(session).text);
  return session.engine;
}

// A span of sweeps of the history as an int32 rows-by-n matrix; the sweeps
// found overwritten after the copy are left out of it.  Returns the matrix
// and sets `first` to the first sweep it holds.
inline mxArray* copy_span(const acquisition::Engine* e, int64_t from, int64_t to, int64_t& first) {
  const size_t rows = static_cast<size_t>(acquisition::engine_rows(e));
  mxArray* data = host::int32_matrix(to > from ? rows : 0, static_cast<size_t>(to - from));
  first = from;
  if (to <= from) return data;
  const int64_t intact = acquisition::engine_copy(e, from, to, static_cast<int32_t*>(mxGetData(data)));
  if (intact == from) return data;
  first = intact;
  return host::keep_last_int32_columns(data, rows, to > intact ? static_cast<size_t>(to - intact) : 0);
}

}  // namespace
