function varargout = acq_start (varargin)
%ACQ_START  Start an acquisition from a BioSemi amplifier through its driver library.
%   [LIB, DRV, OPENFN, WRITEFN, SWEEPSFN, PTRFN, CLOSEFN, RING, ...
%    CHANNELS, RATE, NSYNC, NTRIG, NEEG, NEXG, PTR] = ACQ_START(DRIVER_PATH)
%
%   Loads the driver library DRIVER_PATH, opens the driver, reads one status
%   word from a probe ring to learn the sampling rate and channel layout,
%   restarts the driver with a session ring of 30720 sweeps and checks that
%   the sweeps have the decoded length.  Every step is printed.  The session
%   lives on in the fifteen returned scalars, and in the process's record of
%   live sessions, which acq_fetch and acq_stop check the scalars against.
%   ACQ_OPEN returns the same session as a struct with named fields.
%
%   Input
%     DRIVER_PATH  char, 1-by-k with 5 <= k <= 16383: path of the driver
%                  library (ampsim_path() for the simulated amplifier).
%
%   Outputs (all 1-by-1; exactly fifteen must be requested)
%      1 LIB       uint64  library handle            -> acq_fetch 1, acq_stop 1
%      2 DRV       uint64  driver handle             -> acq_fetch 2, acq_stop 2
%      3 OPENFN    uint64  address of OPEN_DRIVER_ASYNC
%      4 WRITEFN   uint64  address of USB_WRITE      -> acq_stop 3
%      5 SWEEPSFN  uint64  address of READ_MULTIPLE_SWEEPS
%      6 PTRFN     uint64  address of READ_POINTER   -> acq_fetch 3
%      7 CLOSEFN   uint64  address of CLOSE_DRIVER_ASYNC -> acq_stop 4
%      8 RING      uint64  address of the session ring -> acq_fetch 4, acq_stop 5
%      9 CHANNELS  int32   words per sweep           -> acq_fetch 5
%     10 RATE      int32   sampling rate in Hz
%     11 NSYNC     int32   sync channels (1)
%     12 NTRIG     int32   trigger/status channels (1)
%     13 NEEG      int32   EEG channels
%     14 NEXG      int32   ExG channels (the extra channels are printed only)
%     15 PTR       int32   0, the pointer of the first fetch -> acq_fetch 6
%
%   Errors carry the driver's fixed messages, e.g. "Could not load BioSemi
%   driver DLL.", "BioSemi driver does not transmit data. Is the box turned
%   on?" (after 3 s without data), the speed-mode wheel messages; before
%   raising, the call disables, closes and unloads what it opened and frees
%   its ring.  A path that names something other than a regular file (a
%   FIFO, a directory, a device) gets "Could not load BioSemi driver DLL."
%   without being opened.  A path of 16384 characters or more raises
%   acq_start:pathTooLong.  A driver library that already has a live session
%   in this process raises acq_start:alreadyOpen, naming that session (its
%   number, driver, channels and rate) and how to stop it.
%   A low battery raises the warning BioSemi:BatteryLow and the start goes on.
%   Where a script has turned that warning into an error, the start ends with
%   it after releasing the driver, the library and the ring.
%
%   The session ends with ACQ_STOP.  Scalars of a session that is no longer
%   live (stopped, or never started) are refused by acq_fetch and acq_stop
%   with acq_fetch:noSession and acq_stop:noSession, and so are scalars that
%   do not belong together (another session's handle, the sampling rate
%   where the channel count goes).  A session started again at exactly the
%   addresses of a stopped one (the allocator and loader may reuse them)
%   makes the old scalars name the new session.  A script that lost its
%   scalars stops its session with ACQ_STOP_ALL; live sessions are also
%   stopped when the last acquisition MEX file is cleared (clear all, clear
%   functions) and when Octave exits.
%
%   The sample format (microvolts, trigger codes, status flags): see
%   ACQ_DECODE.
%
%   Simulated amplifier (ampsim_path()), configured by environment variables
%   read at every driver open ("[@c]": only on the c-th connection, c from
%   1).  Numbers are whole numbers, decimal or 0x-prefixed hex (no sign,
%   space, fraction or exponent), in the range given:
%     AMPSIM_STATUS=<raw>        0 to 0xFFFFFFFF: raw status word (default
%                                0x88000000: Mk2, speed mode 4, 282
%                                channels, 2048 Hz)
%     AMPSIM_RATE=<hz>           1 to 65536 sweeps per second (default:
%                                decoded rate); alone (no AMPSIM_STATUS):
%                                2048, 4096, 8192 or 16384, and the status
%                                word's speed mode follows it (Mk2, modes 4
%                                to 7)
%     AMPSIM_CHANNELS=<n>        3 to 100000 words per sweep (default:
%                                decoded layout)
%     AMPSIM_FAIL=<CALL>:<n>[@c][,...]  the n-th call (n from 1) of export
%                                CALL fails
%     AMPSIM_STALL=<0|1>[@c]     1: the buffer pointer never moves
%     AMPSIM_OFFSET=<bytes>[@c]  0 to 2147483647: data start away from the
%                                first pointer
%     AMPSIM_MIDSWEEP=<bytes>[@c] 0 to 2147483647: pointer published inside
%                                a sweep (at most one word less than a sweep)
%     AMPSIM_BADPOINTER=<v>[@c]  0 to 0xFFFFFFFF: READ_POINTER reports v
%     AMPSIM_START=<bytes>[@c]   0 to 2147483647: position of the first data
%                                in the ring (beyond its length: its end)
%     AMPSIM_LOG=<file>          one line per driver call
%     AMPSIM_PARADIGM=oddball    an event every 250 ms, standard (code 1) or,
%                                one in five, target (code 2); targets evoke
%                                a few uV peaking 300 ms after the event,
%                                standards less and earlier, over EEG
%                                channels 1 to 32 (default: off)
%     AMPSIM_SEED=<n>            0 to 2^64-1: seed of the oddball order and of
%                                its trial-to-trial variation (default 1)
%   A value outside its range, any other rate alone, or a paradigm the
%   simulator does not know makes the driver refuse to open ("Could not
%   open connection to BioSemi driver."); the simulator prints why on the
%   standard error and keeps the reason, which its export
%   AMPSIM_LAST_REFUSAL returns.
%   Its last channel is a sweep counter: the sweep's index modulo 2^24 in
%   the upper three bytes (bitshift(typecast(word, 'uint32'), -8)), so a
%   24-bit recording keeps it too; its trigger word carries event codes 1,
%   2, ... every half second.
%
%   Example (a full session)
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%     ptr = s{15};
%     for k = 1:10
%       pause(0.1);
%       [data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
%       printf('%d new sweeps\n', columns(data));
%     end
%     acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
%
%   The same with named fields, stopped even when an error ends the function
%   that records (see ACQ_OPEN):
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));
%     pause(0.5);
%     [data, s] = acq_read(s);
%     d = acq_decode(data, s);      % d.eeg in microvolts, d.trigger codes
%
%   See also ACQ_FETCH, ACQ_STOP, ACQ_STOP_ALL, ACQ_OPEN, ACQ_READ, ACQ_CLOSE,
%   ACQ_DECODE, AMPSIM_PATH.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_start', fileparts (mfilename ('fullpath')));
end

%!test
%! s = cell (1, 15);
%! [~, s{:}] = evalc ('acq_start (ampsim_path ())');
%! pause (0.1);
%! [data, ptr] = acq_fetch (s{1}, s{2}, s{6}, s{8}, s{9}, s{15});
%! evalc ('acq_stop (s{1}, s{2}, s{4}, s{7}, s{8})');
%! assert (rows (data), double (s{9}));
%! assert (all (data(1, :) == -256));
