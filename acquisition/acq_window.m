function varargout = acq_window (varargin)
%ACQ_WINDOW  Any span of a session's sweeps, by absolute sweep number, from its history.
%   [DATA, FIRST] = ACQ_WINDOW(S, FIRST_SWEEP, LAST_SWEEP)
%
%   Conventions: sweep numbers are absolute and 1-based (1 = the session's
%   first sweep; ACQ_EVENTS gives events in the same numbers); sweeps are
%   COLUMNS; rows are the session's kept channels (S.labels).
%
%   Returns sweeps FIRST_SWEEP to LAST_SWEEP (both included) of the session
%   that ACQ_OPEN started, as long as its history still holds them,
%   independently of ACQ_READ (which it does not move).  This is how an
%   epoch is cut: wait for an event, then take the window after it.
%
%   Inputs
%     S            the struct from ACQ_OPEN.
%     FIRST_SWEEP  double scalar, a whole number from 1 on.
%     LAST_SWEEP   double scalar, FIRST_SWEEP or later.
%   Outputs
%     DATA   int32, numel(S.labels)-by-(LAST_SWEEP - FIRST_SWEEP + 1).
%     FIRST  double: FIRST_SWEEP, the number of DATA's first column.
%
%   Errors (identifier acq_window:<condition>): notYet (LAST_SWEEP has not
%   arrived; the message says how long to wait), gone (FIRST_SWEEP is no
%   longer held: take windows sooner or open with a longer 'history'),
%   badSpan, notSession, noSession, nargin, nargout.
%
%   Example: the 0 to 800 ms after each event, as soon as it has arrived
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));
%     rate = double(s.rate);
%     span = round(0.8 * rate);
%     pending = [];
%     t0 = tic();
%     while toc(t0) < 2
%       pause(0.05);
%       ev = acq_events(s);
%       pending = [pending; ev.sweep];
%       while ! isempty(pending) && acq_status(s).received >= pending(1) + span - 1
%         epoch = acq_window(s, pending(1), pending(1) + span - 1);
%         d = acq_decode(epoch, s);               % d.eeg: channels-by-span microvolts
%         pending(1) = [];
%       end
%     end
%     clear cleanup
%
%   See also ACQ_OPEN, ACQ_EVENTS, ACQ_READ, ACQ_STATUS, ACQ_DECODE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_window', fileparts (mfilename ('fullpath')));
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true, 'history', 0.5);
%! cleanup = onCleanup(@() acq_close(s));
%! counter = @(data) double(bitshift(typecast(data(end, :), 'uint32'), -8));
%! while acq_status(s).received < 1200, pause(0.05); end
%! [data, first] = acq_window(s, 1000, 1100);
%! assert(first, 1000);
%! assert(size(data), [282 101]);
%! assert(counter(data), 999:1099);
%! spans = {[1 10], [1000 1e9]};   % 0.5 s of history: sweep 1 is gone; sweep 1e9 is far off
%! ids = {'acq_window:gone', 'acq_window:notYet'};
%! for k = 1:2
%!   id = '';
%!   try
%!     acq_window(s, spans{k}(1), spans{k}(2));
%!   catch err
%!     id = err.identifier;
%!   end
%!   assert(id, ids{k});
%! end
%!error id=acq_window:notSession acq_window(struct(), 1, 2)
