[playlist]
numberofentries=3
File3=http://relay3.example:8000/;
Title3=(#3 - 12/500) Sky FM
Length3=-1
File1=http://relay1.example:8000/
Title1=(#1 - 480/500) Sky FM
Length1=-1
file2=http://relay2.example:8000/
title2=(#2 - 80/500) Sky FM
Version=2
