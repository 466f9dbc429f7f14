-- Global variable access.
n = 0
k = 0
while k < 2000000 do
    n = n + math.fmod(k, 3)
    k = k + 1
end
print(n)
