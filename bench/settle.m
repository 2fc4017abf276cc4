function settle()
% SETTLE  Waits before a timed call until the threads that the call before
% woke have gone to sleep, so that every timed call starts on idle
% processors: OpenBLAS lets its threads spin for about 0.1 s after each BLAS
% call (2^28 cycles by default), on the processors the next call would use,
% and a call made at once shares them with those spinning threads (which
% doubled the time of a 20 ms factorization on two processors, and made it
% depend on how long the baseline's last BLAS call had been over).
  pause(0.15);
end
