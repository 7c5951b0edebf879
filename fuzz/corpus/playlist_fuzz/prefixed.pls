Relay 1 of 3
[playlist]
File1=http://p.example/one
Title1=One
File2=relative two.mp3
