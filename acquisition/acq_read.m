function [data, s] = acq_read(s)
%ACQ_READ  Read the sweeps that arrived since the previous read of a session.
%   [DATA, S] = ACQ_READ(S)
%
%   Calls ACQ_FETCH with the session struct S from ACQ_OPEN and returns the
%   new sweeps together with the session, whose pointer now marks where the
%   next read goes on.  Both outputs are required: a read that dropped the
%   updated S would return the same sweeps again next time.
%
%   Input
%     S     struct from ACQ_OPEN (or from the previous ACQ_READ).
%   Outputs
%     DATA  int32, S.channels-by-n: the new sweeps, oldest first, one per
%           column, exactly as the driver wrote them (0-by-0 when none
%           arrived).  ACQ_DECODE turns them into microvolts, trigger codes
%           and status flags.
%     S     the session with S.pointer updated.
%
%   Read at least once per ring length (30720 sweeps: 15 s at 2048 Hz,
%   1.9 s at 16384 Hz); a later read warns acq_fetch:dataLost with the
%   seconds lost.  A read of a session that was stopped raises
%   acq_fetch:noSession.  Other errors and warnings: see ACQ_FETCH.
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
%   See also ACQ_OPEN, ACQ_DECODE, ACQ_CLOSE, ACQ_FETCH.
  if nargout < 2
    error('acq_read:nargout', 'Call [data, s] = acq_read(s): the updated session carries the pointer of the next read.');
  end
  if ! (isstruct(s) && isscalar(s) && all(isfield(s, {'library', 'driver', 'read_pointer', 'ring', 'channels', 'pointer'})))
    error('acq_read:notSession', 'The input must be the session struct that acq_open returned.');
  end
  [data, s.pointer] = acq_fetch(s.library, s.driver, s.read_pointer, s.ring, s.channels, s.pointer);
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true);
%! cleanup = onCleanup(@() acq_close(s));
%! expected = 0;
%! for k = 1:5
%!   pause(0.02);
%!   [data, s] = acq_read(s);
%!   if ! isempty(data)
%!     counter = double(typecast(data(end, :), 'uint32'));   % the simulator's sweep counter, upper three bytes
%!     assert(counter, mod(expected + (0:columns(data) - 1), 2^24) * 256);
%!     expected += columns(data);
%!   end
%! end
%! assert(expected > 0);
%! assert(double(s.pointer), mod(expected * 282 * 4, 282 * 4 * 30720));
%!error id=acq_read:nargout data = acq_read(struct())
%!error id=acq_read:notSession [d, s] = acq_read(struct('ring', 1))
