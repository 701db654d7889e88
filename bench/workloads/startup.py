# Start-up: a script that prints one line.
print("Hello from Drevel")
