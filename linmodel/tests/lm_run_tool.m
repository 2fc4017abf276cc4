function out = lm_run_tool(cmd)
% LM_RUN_TOOL  Runs a command (liblinear's tools); its output, or an error.
  [status, out] = system(cmd);
  if status ~= 0
    error('test:tool', 'command failed (%d): %s\n%s', status, cmd, out);
  end
end
