action=11
