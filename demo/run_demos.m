% RUN_DEMOS  Runs every demo_*.m script in this folder, in name order.
here = fileparts(mfilename('fullpath'));
demos = dir(fullfile(here, 'demo_*.m'));
for k = 1:numel(demos)
  name = demos(k).name(1:end-2);
  printf('\n=== %s ===\n', name);
  run(fullfile(here, demos(k).name));
end
printf('\nAll demos finished.\n');
