% RUN_DEMOS  Runs the BCI showcase (demo_bci) first, then every other
% demo_*.m script in this folder, in name order.
here = fileparts(mfilename('fullpath'));
printf('\n=== demo_bci ===\n');
demo_bci();
demos = dir(fullfile(here, 'demo_*.m'));
for k = 1:numel(demos)
  name = demos(k).name(1:end-2);
  if strcmp(name, 'demo_bci')
    continue;
  end
  printf('\n=== %s ===\n', name);
  run(fullfile(here, demos(k).name));
end
printf('\nAll demos finished.\n');
