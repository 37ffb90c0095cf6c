[test kit uninstall responses]
answer=remove
