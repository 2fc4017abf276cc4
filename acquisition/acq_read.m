function varargout = acq_read (varargin)
%ACQ_READ  Every sweep of a session since the previous read, from its history.
%   [DATA, S] = ACQ_READ(S)
%
%   Conventions: sweeps are COLUMNS, oldest first; rows are the session's
%   kept channels (S.labels: Sync, Status, then the channels chosen at
%   ACQ_OPEN).
%
%   The session's reader thread has been filling its history since the
%   first sweep; ACQ_READ returns what arrived since the previous read (the
%   session remembers where that was), whatever the time between the two,
%   up to the history's length.
%
%   Input
%     S     the struct from ACQ_OPEN.
%   Outputs
%     DATA  int32, numel(S.labels)-by-n: the new sweeps, exactly as the
%           driver wrote them (0 columns when none arrived).  ACQ_DECODE
%           turns them into microvolts, trigger codes and status flags.
%     S     the session (both outputs are required, as before the session
%           kept the place of the next read itself).
%
%   A read later than the history holds returns the whole history and warns
%   acq_read:dataLost with the exact number of sweeps lost.  The read is
%   recorded before the warning, so a script that turns the warning into an
%   error (warning('error', 'acq_read:dataLost')) and catches it reads on
%   normally from the next sweep; the sweeps of the read that failed stay
%   in the history for ACQ_WINDOW (the warning gives their numbers).
%
%   Trouble of the reader thread reaches the script here, once, as an error
%   (the sweeps stay for the next read): acq_read:stalled (the driver's
%   pointer has not moved for 1 s: the amplifier stopped, or a replayed file
%   ended), acq_read:badPointer, acq_read:syncLost (the reader stops),
%   acq_read:readFailed, acq_read:driverFailed, acq_read:overrun (the
%   process was held up longer than the driver's ring lasts),
%   acq_read:recordFailed and acq_read:recordLost (the recording).
%   Other errors: acq_read:notSession, acq_read:noSession (the session was
%   closed), acq_read:nargin, acq_read:nargout (not two outputs).
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));
%     total = 0;
%     for k = 1:10
%       pause(0.05);
%       [data, s] = acq_read(s);
%       total += columns(data);
%     end
%     clear cleanup
%
%   See also ACQ_OPEN, ACQ_WINDOW, ACQ_EVENTS, ACQ_STATUS, ACQ_DECODE, ACQ_CLOSE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_read', fileparts (mfilename ('fullpath')));
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true);
%! cleanup = onCleanup(@() acq_close(s));
%! counter = @(data) double(bitshift(typecast(data(end, :), 'uint32'), -8));   % the simulator's sweep counter
%! expected = 0;
%! for k = 1:5
%!   pause(0.02);
%!   [data, s] = acq_read(s);
%!   if ! isempty(data)
%!     assert(counter(data), expected + (0:columns(data) - 1));
%!     expected += columns(data);
%!   end
%! end
%! assert(expected > 0);
%!error id=acq_read:notSession [d, s] = acq_read(struct('ring', 1))
%!error id=acq_read:nargout data = acq_read(struct())
%!error id=acq_read:nargout [a, b, c] = acq_read(struct())
