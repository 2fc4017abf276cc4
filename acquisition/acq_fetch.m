function varargout = acq_fetch (varargin)
%ACQ_FETCH  Fetch the sweeps that arrived since the last fetch of an acquisition.
%   [DATA, PTR] = ACQ_FETCH(LIB, DRV, PTRFN, RING, CHANNELS, LASTPTR)
%
%   Reads the driver's buffer pointer and copies the whole sweeps that
%   arrived in the session ring since LASTPTR, oldest first, one per column.
%   Call it often enough that less than one ring (30720 sweeps, 15 s at
%   2048 Hz, 1.9 s at 16384 Hz) arrives between two calls.  A later call
%   warns acq_fetch:dataLost with the seconds of data lost (from the time
%   since the previous fetch of the session, or since its start); it then
%   returns only the newest sweeps, reckoned modulo the ring.
%
%   Inputs (all 1-by-1, as ACQ_START returned them)
%     LIB       uint64  output 1 of acq_start (not read)
%     DRV       uint64  output 2 of acq_start
%     PTRFN     uint64  output 6 of acq_start
%     RING      uint64  output 8 of acq_start
%     CHANNELS  int32   output 9 of acq_start
%     LASTPTR   int32   output 15 of acq_start on the first call, then PTR of
%                       the previous call
%
%   Outputs (exactly two must be requested)
%     DATA  int32, CHANNELS-by-n, or 0-by-0 when nothing new arrived.  Row 1
%           is the sync word (-256), row 2 the status/trigger word, then the
%           channels in the amplifier's order, unchanged (24-bit samples
%           shifted left by 8; ACQ_DECODE gives microvolts, trigger codes
%           and status flags, and its help describes the format).
%           When the pointer only went from the ring's end back to its
%           start, DATA is CHANNELS-by-0 (still empty).
%     PTR   int32 scalar, the new pointer (a whole number of sweeps).
%
%   A failed pointer read warns (BioSemi:ReadProblem) and returns 0-by-0
%   with PTR = LASTPTR.  Values outside the session raise errors:
%   acq_fetch:notUint64 / acq_fetch:notInt32 (classes), acq_fetch:nullAddress,
%   acq_fetch:badChannelCount, acq_fetch:badPointer (LASTPTR not a whole
%   number of sweeps in 0 ... ring length), acq_fetch:driverPointerOutOfRange,
%   and acq_fetch:noSession when DRV, PTRFN, RING and CHANNELS do not name a
%   live session of this process: after ACQ_STOP or ACQ_STOP_ALL, or with
%   values of different sessions, or another int32 (the sampling rate) where
%   the channel count goes.  Nothing is read then.
%
%   ACQ_READ does the same on the struct of ACQ_OPEN and keeps the pointer.
%
%   Example
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%     pause(0.5);
%     [data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, s{15});
%     counter = bitshift(typecast(data(end, :), 'uint32'), -8);   % simulator's sweep counter (mod 2^24)
%     acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
%
%   See also ACQ_START, ACQ_STOP, ACQ_DECODE, ACQ_READ, ACQ_STOP_ALL.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_fetch', fileparts (mfilename ('fullpath')));
end

%!test
%! s = cell (1, 15);
%! [~, s{:}] = evalc ('acq_start (ampsim_path ())');
%! pause (0.5);
%! [data, ptr] = acq_fetch (s{1}, s{2}, s{6}, s{8}, s{9}, s{15});
%! counter = typecast (data(end, :), 'uint32');
%! evalc ('acq_stop (s{1}, s{2}, s{4}, s{7}, s{8})');
%! assert (columns (data) > 0);
%! assert (all (mod (diff (double (counter)), 2^32) == 256));   % the sweep counter, in the upper three bytes
