function assert_error(fn, id, text)
% ASSERT_ERROR  Call FN (a function handle) and check that it raises an
% error with identifier ID and, when given, exactly the message TEXT.
  try
    fn();
  catch err
    if ~isempty(id) && ~strcmp(err.identifier, id)
      error('assert_error:wrongId', 'expected identifier "%s", got "%s" (%s)', id, err.identifier, err.message);
    end
    if nargin >= 3 && ~strcmp(err.message, text)
      error('assert_error:wrongText', 'expected message "%s", got "%s"', text, err.message);
    end
    return;
  end
  error('assert_error:noError', 'expected an error "%s", none was raised', id);
end
