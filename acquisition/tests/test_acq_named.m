% The named-field functions and the decoding, through the test blocks of
% their help files, against the simulated amplifier.
vars = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', 'AMPSIM_OFFSET', ...
        'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_LOG', 'AMPSIM_PARADIGM', 'AMPSIM_SEED'};
for k = 1:numel(vars), unsetenv(vars{k}); end
for name = {'acq_decode', 'acq_open', 'acq_read', 'acq_close'}
  [passed, total] = test(name{1}, 'quiet', stdout);
  printf('%s: %d of %d tests passed\n', name{1}, passed, total);
  assert(total > 0 && passed == total, '%s: %d of %d tests passed', name{1}, passed, total);
end
assert(acq_stop_all(), 0);   % no test left a session running
