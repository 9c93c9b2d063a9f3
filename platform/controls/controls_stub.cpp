// replaced by the controls
