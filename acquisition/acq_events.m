function varargout = acq_events (varargin)
%ACQ_EVENTS  The trigger onsets of a session since the previous call, by sweep number.
%   EV = ACQ_EVENTS(S)
%
%   Conventions: sweep numbers are absolute and 1-based (1 = the session's
%   first sweep), the numbers ACQ_WINDOW takes.
%
%   The session's reader thread looks at the trigger value (status bits 0
%   to 15: bits 8 to 23 of the status word) of every sweep as it arrives,
%   so an onset is never doubled or missed at the boundary of two reads.
%   An onset is a change of the trigger value to a value other than 0 (the
%   first sweep counts when its value is not 0).  Each call returns the
%   onsets detected since the previous call (the first call: since the
%   session's first sweep).
%
%   Input
%     S    the struct from ACQ_OPEN.
%   Output EV, a struct with column fields (n-by-1 double, n onsets):
%     sweep    the sweep number of the onset
%     code     the trigger value, 1 to 65535
%     seconds  seconds since the first sweep, (sweep - 1) / S.rate
%
%   Onsets wait for ACQ_EVENTS in a queue of a million; older ones are
%   dropped with the warning acq_events:eventsLost.  Errors:
%   acq_events:notSession, acq_events:noSession, acq_events:nargin,
%   acq_events:nargout.
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));
%     pause(1.2);
%     ev = acq_events(s)     % the simulator's events: codes 1, 2, 3 every 0.5 s
%     clear cleanup
%
%   See also ACQ_OPEN, ACQ_WINDOW, ACQ_READ, ACQ_DECODE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_events', fileparts (mfilename ('fullpath')));
end

%!test
%! % The simulator holds code k for the first 1/50 of every half second.
%! s = acq_open(ampsim_path(), 'quiet', true);
%! cleanup = onCleanup(@() acq_close(s));
%! pause(0.3);
%! first = acq_events(s);
%! pause(0.9);
%! later = acq_events(s);
%! sweep = [first.sweep; later.sweep];
%! code = [first.code; later.code];
%! assert(sweep(1:3), [1; 1025; 2049]);
%! assert(code(1:3), [1; 2; 3]);
%! assert(later.seconds, (later.sweep - 1) / 2048);
%! assert(fieldnames(first)', {'sweep', 'code', 'seconds'});
%!error id=acq_events:notSession acq_events(1)
