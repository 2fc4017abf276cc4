function varargout = acq_decode(data, session)
%ACQ_DECODE  Turn fetched sweeps into microvolts, trigger codes and status flags.
%   D = ACQ_DECODE(DATA, S)
%
%   Conventions: sweeps are COLUMNS; rows as the session returns them.
%
%   DATA is what ACQ_READ, ACQ_WINDOW or ACQ_FETCH returned: int32, one
%   sweep per column.  S tells the layout: the struct from ACQ_OPEN (whose
%   rows are its kept channels, S.labels), or the 1-by-15 cell of
%   ACQ_START's outputs (every channel).
%
%   The sample format.  Every sweep is S.channels 32-bit words:
%     row 1          the sync word 0xFFFFFF00 (int32 -256)
%     row 2          the status word: bits 8 to 23 hold the 16 trigger
%                    inputs, bits 24 to 31 the amplifier's status (below);
%                    bits 0 to 7 are unused
%     rows 3 on      S.neeg EEG channels, then S.nexg ExG channels, then the
%                    extra channels (sensors; on the simulated amplifier the
%                    last one is a running sweep counter, not a sample)
%   A channel word holds a 24-bit two's-complement sample in its upper
%   three bytes (bits 8 to 31); one step of the sample is 31.25 nV, so
%     microvolts = floor(double(word) / 256) * 0.03125
%   which is exact in double precision.  Status bits (of the status word
%   shifted right by 8, as the start's status report counts them): 17, 18,
%   19 and 21 the speed mode wheel (values 1, 2, 4, 8), 22 battery low,
%   23 Mk2 (clear: Mk1).
%
%   A session opened with 'channels' keeps Sync, Status and the chosen
%   channels only: EEG, EXG and EXTRA below then hold the chosen channels of
%   each kind, in the order of S.labels.
%
%   Output D, a struct (n = columns(DATA)):
%     eeg          double, S.neeg-by-n (kept EEG channels), microvolts
%     exg          double, S.nexg-by-n (kept ExG channels), microvolts
%     extra        double, (channels - 2 - neeg - nexg)-by-n (kept extra
%                  channels), microvolts
%     trigger      double, 1-by-n, trigger codes 0 to 65535 (bits 8-23 of row 2)
%     status       uint32, 1-by-n, the 24-bit status value (row 2 shifted right by 8)
%     speed_mode   double, 1-by-n, 0 to 15
%     battery_low  logical, 1-by-n
%     mk2          logical, 1-by-n
%     sync_ok      logical, 1-by-n: row 1 is the sync word; a false entry
%                  means the sweeps are misaligned and the rest is garbage
%   A 0-by-0 DATA (nothing new) gives the same fields with n = 0.
%
%   Errors: acq_decode:notInt32 (DATA not int32), acq_decode:notSession (S
%   neither an acq_open struct nor acq_start's 15 outputs, or a layout that
%   is not one: fewer than 2 channels, EEG and ExG counts beyond them, kept
%   channels outside them), acq_decode:rowCount (rows of DATA not the
%   session's rows), acq_decode:nargout (more than one output).
%
%   Example: record and cut 1-second epochs after each trigger onset
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));
%     data = zeros(s.channels, 0, 'int32');
%     t0 = tic();
%     while toc(t0) < 3
%       pause(0.05);
%       [chunk, s] = acq_read(s);
%       data = [data, chunk];
%     end
%     clear cleanup
%     d = acq_decode(data, s);
%     onsets = find(diff([0, d.trigger]) > 0 & d.trigger > 0);
%     onsets = onsets(onsets + double(s.rate) - 1 <= columns(data));
%     epochs = zeros(s.neeg, double(s.rate), numel(onsets));   % channel x time x epoch, in uV
%     for k = 1:numel(onsets)
%       epochs(:, :, k) = d.eeg(:, onsets(k) + (0:double(s.rate) - 1));
%     end
%
%   See also ACQ_READ, ACQ_OPEN, ACQ_FETCH, ACQ_START.
  if nargin ~= 2
    print_usage();
  end
  if nargout > 1
    error('acq_decode:nargout', 'At most 1 output: d = acq_decode(data, s).');
  end
  if ! isa(data, 'int32')
    error('acq_decode:notInt32', 'DATA must be the int32 sweeps that acq_read or acq_fetch returned.');
  end
  counts = @(varargin) all(cellfun(@(v) isnumeric(v) && isreal(v) && isscalar(v) && v >= 0 && v == fix(v), varargin));
  if isstruct(session) && isscalar(session) && all(isfield(session, {'channels', 'neeg', 'nexg'})) ...
     && counts(session.channels, session.neeg, session.nexg)
    [channels, neeg, nexg] = deal(double(session.channels), double(session.neeg), double(session.nexg));
    if isfield(session, 'keep')
      keep = double(session.keep(:)');
    else
      keep = 1:channels;
    end
  elseif iscell(session) && numel(session) == 15 && counts(session{9}, session{13}, session{14})
    [channels, neeg, nexg] = deal(double(session{9}), double(session{13}), double(session{14}));
    keep = 1:channels;
  else
    error('acq_decode:notSession', 'S must be the struct acq_open returned or the 15 outputs of acq_start (a cell).');
  end
  % The layout must be one: sync and status first, every kept channel within it.
  if channels < 2 || neeg + nexg > channels - 2 || numel(keep) < 2 || ! isequal(keep(1:2), [1 2]) ...
     || any(keep ~= fix(keep) | keep < 1 | keep > channels)
    error('acq_decode:notSession', ['S does not describe a layout: %d channels, %d EEG and %d ExG ' ...
          '(2 more for sync and status), kept channels 1 and 2 first and all within the channels.'], ...
          channels, neeg, nexg);
  end
  rows_kept = numel(keep);
  n = columns(data);
  if isempty(data)
    data = zeros(rows_kept, 0, 'int32');
    n = 0;
  elseif rows(data) ~= rows_kept
    error('acq_decode:rowCount', 'DATA has %d rows, but the session has %d channels.', rows(data), rows_kept);
  end

  % The samples: arithmetic shift by 8 bits, then 31.25 nV = 2^-5 uV per step.
  uv = @(r) floor(double(data(r, :)) / 256) * 0.03125;
  d.eeg = uv(find(keep > 2 & keep <= 2 + neeg));
  d.exg = uv(find(keep > 2 + neeg & keep <= 2 + neeg + nexg));
  d.extra = uv(find(keep > 2 + neeg + nexg));

  status = bitshift(typecast(data(2, :), 'uint32'), -8);
  bit = @(k) bitand(status, uint32(2 ^ k)) ~= 0;
  d.trigger = double(bitand(status, uint32(65535)));
  d.status = status;
  d.speed_mode = double(bit(17)) + 2 * bit(18) + 4 * bit(19) + 8 * bit(21);
  d.battery_low = bit(22);
  d.mk2 = bit(23);
  d.sync_ok = data(1, :) == int32(-256);
  varargout{1} = d;
end

%!test
%! % Worked words: the sample is the upper three bytes, 31.25 nV per step.
%! s = struct('channels', int32(5), 'neeg', int32(1), 'nexg', int32(1));
%! data = int32([-256, -256, -256;
%!               typecast(uint32([hex2dec('88001200'), hex2dec('C0FFFF00'), hex2dec('20000000')]), 'int32');
%!               256, -256, intmax('int32');
%!               intmin('int32'), 255, 511;
%!               0, 100 * 256, -100 * 256]);
%! d = acq_decode(data, s);
%! assert(d.eeg, [0.03125, -0.03125, 8388607 * 0.03125]);
%! assert(d.exg, [-8388608 * 0.03125, 0, 0.03125]);
%! assert(d.extra, [0, 100, -100] * 0.03125);
%! assert(d.trigger, [18, 65535, 0]);
%! assert(d.status, uint32([hex2dec('880012'), hex2dec('C0FFFF'), hex2dec('200000')]));
%! assert(d.speed_mode, [4, 0, 8]);
%! assert(d.mk2, [true, true, false]);
%! assert(d.battery_low, [false, true, false]);
%! assert(d.sync_ok, [true, true, true]);
%! data(1, 2) = 0;
%! assert(acq_decode(data, s).sync_ok, [true, false, true]);
%!test
%! % Nothing new: empty fields with the session's row counts.
%! c = num2cell(int32([0 0 0 0 0 0 0 0 282 2048 1 1 256 8 0]));
%! d = acq_decode(zeros(0, 0, 'int32'), c);
%! assert(size(d.eeg), [256 0]);
%! assert(size(d.exg), [8 0]);
%! assert(size(d.extra), [16 0]);
%! assert(size(d.trigger), [1 0]);
%!test
%! % Round trip against the simulated amplifier's known signal: the sync
%! % word, its status word (Mk2, speed mode 4), the event codes 1, 2, ...
%! % held for the first 1/50 of every half second, samples whose low byte
%! % is 0, and the sweep counter in the last channel.
%! unsetenv('AMPSIM_STATUS'); unsetenv('AMPSIM_RATE');
%! s = cell(1, 15);
%! evalc('[s{:}] = acq_start(ampsim_path());');
%! data = zeros(s{9}, 0, 'int32');
%! ptr = s{15};
%! t0 = tic();
%! while columns(data) < 1.2 * double(s{10}) && toc(t0) < 10
%!   pause(0.05);
%!   [chunk, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
%!   data = [data, chunk];
%! end
%! acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
%! d = acq_decode(data, s);
%! k = double(typecast(data(end, :), 'uint32')) / 256; % sweep counter, upper three bytes: 0, 1, 2, ...
%! assert(k, 0:columns(data) - 1);
%! assert(all(d.sync_ok));
%! assert(all(d.speed_mode == 4) && all(d.mk2) && ! any(d.battery_low));
%! half = double(s{10}) / 2;
%! expected = (mod(k, half) * 50 < half) .* (mod(floor(k / half), 254) + 1);
%! assert(d.trigger, expected);
%! onsets = find(diff([0 d.trigger]) > 0);
%! assert(onsets(1:3), [1, half + 1, 2 * half + 1]);
%! % Encoding the microvolts again gives the words back, bit for bit.
%! neeg = double(s{13});
%! assert(int32(d.eeg * 32 * 256), data(2 + (1:neeg), :));
%! assert(int32(d.exg * 32 * 256), data(2 + neeg + (1:double(s{14})), :));
%! assert(all(abs(d.eeg(:)) < 3300));
%!error id=acq_decode:notInt32 acq_decode(zeros(5, 1), struct('channels', 5, 'neeg', 1, 'nexg', 1))
%!error id=acq_decode:notSession acq_decode(zeros(5, 1, 'int32'), 5)
%!error id=acq_decode:rowCount acq_decode(zeros(4, 1, 'int32'), struct('channels', 5, 'neeg', 1, 'nexg', 1))
%!test
%! % Layouts that are none (the counts beyond the channels, fewer than 2
%! % channels, kept rows outside them) are refused with our identifier, and
%! % a kept layout decodes its own rows: Sync, Status, EEG 2, ExG 1, extra 1.
%! bad = {struct('channels', 5, 'neeg', 3, 'nexg', 2), struct('channels', 1, 'neeg', 0, 'nexg', 0), ...
%!        struct('channels', 5, 'neeg', -1, 'nexg', 1), struct('channels', 5, 'neeg', 1, 'nexg', 1, 'keep', [1 2 6]), ...
%!        struct('channels', 5, 'neeg', 1, 'nexg', 1, 'keep', [2 1 3]), {1, 2, 3, 4, 5, 6, 7, 8, 5, 2048, 1, 1, 4, 2, 0}};
%! for k = 1:numel(bad)
%!   id = '';
%!   try
%!     acq_decode(zeros(5, 1, 'int32'), bad{k});
%!   catch err
%!     id = err.identifier;
%!   end
%!   assert(id, 'acq_decode:notSession');
%! end
%! s = struct('channels', int32(7), 'neeg', int32(2), 'nexg', int32(2), 'keep', int32([1; 2; 4; 5; 7]));
%! d = acq_decode(int32([-256; 0; 32 * 256; 64 * 256; 96 * 256]), s);
%! assert([d.eeg; d.exg; d.extra], [1; 2; 3]);
%!error id=acq_decode:nargout [a, b] = acq_decode(zeros(5, 1, 'int32'), struct('channels', 5, 'neeg', 1, 'nexg', 1))
