% bdf_read and bdf_repair in the host, on recordings of the simulated
% amplifier that our writer made (bdf_make_test_file) and their reference
% words: channel and span selection, raw words and microvolts, the header
% and the onsets; a cut file before and after its repair; bad input.
build = getenv('EEGMEX_BUILD_DIR');
tool = fullfile(build, 'bdf', 'bdf_make_test_file');
dir_ = tempname();
mkdir(dir_);
confirm_recursive_rmdir(false);
cleanup = onCleanup(@() rmdir(dir_, 's'));
make = @(name, options) assert(system(sprintf('"%s" "%s" %s > /dev/null', tool, fullfile(dir_, name), options)) == 0);
words = @(name, C) reshape(fread(fopen(fullfile(dir_, [name '.words'])), Inf, 'int32=>int32'), C, []);

make('rec', '--seconds 3 --seed 4');
f = fullfile(dir_, 'rec.bdf');
ref = words('rec', 281);
fclose('all');
want = bitand(ref, int32(-256));              % the words less their low byte

% Everything, raw: the words; as microvolts: the header's scaling.
[raw, hdr, ev] = bdf_read(f, 'raw');
assert(raw, want);
assert([hdr.rate hdr.sweeps hdr.seconds hdr.first_sweep hdr.records hdr.header_records hdr.tail_bytes], ...
       [2048 6144 3 1 3 3 0]);
assert(hdr.labels([1 33 257 265 281]), {'A1', 'B1', 'EXG1', 'EXTRA1', 'Status'});
assert(hdr.units([1 281]), {'uV', 'Boolean'});
assert([hdr.physical_min([1 281]) hdr.physical_max([1 281])], [-262144 -8388608 262143 8388607]);
assert(hdr.start, [2024 12 9 13 5 7]);
data = bdf_read(f);
d = double(bitshift(ref, -8));
assert(data, d .* hdr.scale' + hdr.offset');
assert(data(281, :), d(281, :));
% The maker's ranges give 31.25 nV per step less 1.8 ppm, and -0.484 uV at 0.
assert([hdr.scale(1) hdr.offset(1)], [524287 / 16777215, -262144 + 8388608 * 524287 / 16777215]);

% Onsets: changes of Status bits 0-15 to a non-zero value, the first sweep included.
codes = double(bitand(bitshift(ref(281, :), -8), int32(65535)));
onsets = find(codes != 0 & codes != [0 codes(1:end-1)]);
assert(isstruct(ev) && isequal(fieldnames(ev), {'sweep'; 'code'; 'seconds'}));
assert([ev.sweep ev.code ev.seconds], [onsets(:) codes(onsets)(:) (onsets(:) - 1) / 2048]);
assert(onsets(1), 1);

% Channels by label, cell of labels, indices (in the order given); a span.
[x, h, e] = bdf_read(f, 'Channels', {'Status', 'A2'}, 'seconds', [1 1.5], 'RAW');
assert(x, want([281 2], 2049:3072));
assert([h.first_sweep h.channels], [2049 281 2]);
assert(h.labels, {'Status', 'A2'});
assert(e.sweep, onsets(onsets >= 2049 & onsets <= 3072)(:));
assert(bdf_read(f, 'channels', 'EXG3', 'raw'), want(259, :));
assert(bdf_read(f, 'channels', int32([5 3]), 'raw', true, 'seconds', [2.999 Inf]), want([5 3], 6143:6144));
assert(size(bdf_read(f, 'seconds', [5 6])), [281 0]);
[~, ~, e] = bdf_read(f, 'channels', 1, 'raw', false, 'seconds', [0 0.5]);
assert(e.sweep, onsets(onsets <= 1024)(:));
% An onset at a span's first sweep counts only when the trigger changed there.
[~, ~, e] = bdf_read(f, 'seconds', [(onsets(2) - 1) / 2048, Inf]);
assert(e.sweep(1), onsets(2));
[~, ~, e] = bdf_read(f, 'seconds', [onsets(2) / 2048, Inf]);
assert(e.sweep(1), onsets(3));

% A file cut by a kill reads up to its last whole record; bdf_repair cuts
% the partial record off and sets the count; a second repair changes nothing.
make('cut', '--seconds 3 --seed 4 --cut 2');
c = fullfile(dir_, 'cut.bdf');
[x, h] = bdf_read(c, 'raw');
assert(x, want(:, 1:4096));
assert([h.records h.header_records], [2 2]);
assert(h.tail_bytes > 0);
info = bdf_repair(c);
assert([info.records info.header_records info.dropped_bytes], [2 2 h.tail_bytes]);
s = dir(c);
assert(s.bytes, 256 * 282 + 2 * 281 * 3 * 2048);
out = evalc('bdf_repair(c)');
assert(out, sprintf('%s: 2 data records kept (the header said 2), 0 bytes dropped\n', c));
assert(bdf_read(c, 'raw'), want(:, 1:4096));

% A file without Status: no onsets, in columns.
fid = fopen(f);
bytes = fread(fid, Inf, 'uint8=>uint8');
fclose(fid);
bytes(256 + 280 * 16 + (1:6)) = 'Sttus ';
g = fullfile(dir_, 'nostatus.bdf');
fid = fopen(g, 'w');
fwrite(fid, bytes);
fclose(fid);
[~, ~, e] = bdf_read(g, 'channels', 1);
assert(size(e.sweep), [0 1]);
assert(size(e.code), [0 1]);

% Channels of different rates are not read together.
bytes(256 + 281 * 216 + (1:8)) = '1024    ';
fid = fopen(g, 'w');
fwrite(fid, bytes);
fclose(fid);
assert(size(bdf_read(g, 'channels', 2:3)), [2 6144]);

% Bad input: the identifier and the reason.
function expect_error(id, text, varargin)
  try
    bdf_read(varargin{:});
  catch err
    assert(err.identifier, id);
    assert(! isempty(strfind(err.message, text)), err.message);
    return;
  end
  error('test:noError', 'bdf_read raised no %s', id);
end
expect_error('bdf_read:nargin', 'At least one input');
expect_error('bdf_read:notText', 'char row', 5);
expect_error('bdf_read:badOption', 'Unknown option ''rows''', f, 'rows', 1);
expect_error('bdf_read:badOption', 'needs a value', f, 'channels');
expect_error('bdf_read:badOption', 'must be a name', f, 7);
expect_error('bdf_read:unknownChannel', 'no channel labelled ''Cz''', f, 'channels', {'A1', 'Cz'});
expect_error('bdf_read:badChannels', 'index 282 is not', f, 'channels', [1 282]);
expect_error('bdf_read:badChannels', 'index 1.5 is not', f, 'channels', 1.5);
expect_error('bdf_read:badChannels', 'element 2', f, 'channels', {'A1', 3});
expect_error('bdf_read:badSeconds', '0 <= T0 <= T1', f, 'seconds', [2 1]);
expect_error('bdf_read:badSeconds', '0 <= T0 <= T1', f, 'seconds', [NaN 1]);
expect_error('bdf_read:badSeconds', 'pair', f, 'seconds', 1);
expect_error('bdf_read:mixedRates', 'differ in rate', g, 'channels', [1 2]);
expect_error('bdf_read:cannotRead', 'is not a BDF file', fullfile(build, 'mex', 'bdf_read.m'));
expect_error('bdf_read:cannotRead', 'No such file', fullfile(dir_, 'none.bdf'));
try
  [a, b, c, d] = bdf_read(f);
  error('test:noError', 'four outputs');
catch err
  assert(err.identifier, 'bdf_read:nargout');
end
try
  bdf_repair(fullfile(build, 'mex', 'bdf_read.m'));
  error('test:noError', 'repair of a text file');
catch err
  assert(err.identifier, 'bdf_repair:cannotRepair');
end
printf('bdf_read and bdf_repair: selections, raw words, microvolts, onsets, a cut file and its repair, bad input\n');
