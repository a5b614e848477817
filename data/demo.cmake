# demo database rules are added later
