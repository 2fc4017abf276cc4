% The BCI showcase, shortened to about 15 s of data from the simulated
% amplifier: accuracy above chance, no sweep lost, the figures written, the
% session stopped and the simulator's settings put back, also when the demo
% fails after the start.
folder = tempname();
out = evalc("r = demo_bci('train_seconds', 12, 'online_seconds', 3, 'figures', folder, 'recordings', folder);");
line = regexp(out, 'bci: heldout=(\S+) online=(\S+) kernel=(\S+) lost=(\S+) epochs=(\S+) seconds=(\S+)\n', 'tokens', 'once');
if isempty(line) || r.lost ~= 0 || ~(r.heldout > 0.6 && r.online > 0.6 && r.kernel > 0.6) || r.epochs < 12
  printf('%s', out);
  error('test_demo_bci:summary', 'The summary line is missing or below the mark (lost sweeps, accuracy, epochs).');
end
assert(str2double(line(:)'), [r.heldout, r.online, r.kernel, r.lost, r.epochs, r.seconds], [0.006 0.006 0.006 0 0 0.051]);
assert(numel(r.figures), 3);
assert(all(cellfun(@(f) exist(f, 'file') == 2, r.figures)));
assert(isempty(getenv('AMPSIM_PARADIGM')) && isempty(getenv('AMPSIM_SEED')));
% The recording holds the whole session: as many sweeps as were read, and
% the closing line says so.
assert(r.recording, fullfile(folder, 'demo_bci.bdf'));
recorded = regexp(out, 'Recorded (\d+) sweeps \(\S+ s\) to \S+demo_bci.bdf, 0 lost.', 'tokens', 'once');
assert(! isempty(recorded), out);
assert(dir(r.recording).bytes > 0);
confirm_recursive_rmdir(false, 'local');
rmdir(folder, 's');

% Mk1 speed mode 7 has 8 EEG channels: the demo fails after the start, and
% stops the session on its way out, so that the next start finds the
% simulator free (it serves one connection at a time).
setenv('AMPSIM_STATUS', '0x0E000000');
try
  evalc("demo_bci('figures', 'none');");
  error('test_demo_bci:noError', 'demo_bci ran on 8 EEG channels');
catch err
  assert(err.identifier, 'demo_bci:layout');
end
unsetenv('AMPSIM_STATUS');
s = cell(1, 15);
evalc('[s{:}] = acq_start(ampsim_path());');
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
