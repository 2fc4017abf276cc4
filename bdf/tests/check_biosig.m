function check_biosig(file, words_file, events_file, varargin)
% CHECK_BIOSIG(FILE, WORDS_FILE, EVENTS_FILE, ['prefix'], ['min_seconds', S])
% Checks a BDF file with biosig (Debian octave-biosig) against reference
% words and onsets, as check_mne.py does (the same reference files; an empty
% EVENTS_FILE takes the onsets from the reference's Status words):
%   [s, H] = mexSLOAD(FILE, 0, 'UCAL:ON', 'OVERFLOWDETECTION:OFF')
% gives the digital values of every channel but Status, which biosig turns
% into its event table: each must equal the reference word shifted right by
% 8, and H.EVENT's onsets (POS, TYP) the reference's.  'prefix' compares the
% sweeps file and reference share; 'min_seconds' is the least the file must
% hold.  Raises an error on any difference; prints one line otherwise.
%   octave-cli --eval "addpath('bdf/tests'); check_biosig('x.bdf', 'x.words', 'x.events')"
  prefix = any(strcmp(varargin, 'prefix'));
  k = find(strcmp(varargin, 'min_seconds'));
  min_seconds = 0;
  if ! isempty(k)
    min_seconds = varargin{k + 1};
  end
  if isempty(which('mexSLOAD'))
    addpath(fullfile('/usr/lib', [computer() '-linux-gnu'], 'octave/site/oct', [computer() '-pc-linux-gnu'], 'biosig'));
    if isempty(which('mexSLOAD'))
      addpath(glob('/usr/lib/*/octave/site/oct/*/biosig'){:});
    end
    if isempty(which('mexSLOAD'))
      printf('biosig: mexSLOAD is not installed (Debian: octave-biosig); skipped\n');
      exit(77);
    end
  end
  [s, H] = mexSLOAD(file, 0, 'UCAL:ON', 'OVERFLOWDETECTION:OFF');
  fid = fopen(words_file, 'r', 'ieee-le');
  ref = fread(fid, Inf, 'int32=>int32');
  fclose(fid);
  % biosig keeps Status out of the channels: it becomes the event table.
  assert(! any(strcmp(strtrim(H.Label), 'Status')), 'biosig: Status among the data channels of %s', file);
  channels = numel(H.Label) + 1;
  ref = reshape(ref, channels, []);
  ref = double(bitshift(ref, -8));    % arithmetic: the signed 24-bit sample
  n_file = rows(s);
  seconds = n_file / H.SampleRate;
  assert(seconds >= min_seconds, 'biosig: %s holds %.3f s, less than %g s', file, seconds, min_seconds);
  assert(prefix || n_file == columns(ref), 'biosig: %s holds %d sweeps, the reference %d', file, n_file, columns(ref));
  n = min(n_file, columns(ref));
  data_channels = columns(s);
  assert(data_channels == channels - 1, 'biosig: %d data channels besides Status, expected %d', data_channels, channels - 1);
  diff = find(s(1:n, :)' != ref(1:data_channels, 1:n), 1);
  if ! isempty(diff)
    [c, t] = ind2sub([data_channels, n], diff);
    error('biosig: %s: %s at sweep %d reads %d instead of %d', file, H.Label{c}, t, s(t, c), ref(c, t));
  end

  if ! isempty(events_file)
    expected = load(events_file);
    expected = reshape(expected, [], 2);
  else
    codes = bitand(ref(end, :) + (ref(end, :) < 0) * 2^24, 65535);
    onsets = find(codes != 0 & codes != [0 codes(1:end-1)]);
    expected = [onsets(:) codes(onsets)(:)];
  end
  expected = expected(expected(:, 1) <= n, :);
  found = [H.EVENT.POS(:) H.EVENT.TYP(:)];
  found = found(found(:, 1) <= n, :);
  assert(isequal(found, expected), 'biosig: %s: %d onsets in the event table, the reference has %d', file, ...
         rows(found), rows(expected));
  [~, name, ext] = fileparts(file);
  printf('biosig: %s%s: %d sweeps x %d channels and Status''s %d onsets equal the reference (%d in the file, %.3f s)\n', ...
         name, ext, n, data_channels, rows(found), n_file, seconds);
end
