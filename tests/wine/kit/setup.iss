[test kit install responses]
answer=install
