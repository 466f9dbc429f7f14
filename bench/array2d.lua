-- 2-D array: fill and sum.
local self = {a = {}}
self.t = 0
self.i = 0
while self.i < 1000 do
    self.a[self.i] = {}
    self.j = 0
    while self.j < 1000 do self.a[self.i][self.j] = self.i + self.j; self.j = self.j + 1 end
    self.i = self.i + 1
end
self.i = 0
while self.i < 1000 do
    self.j = 0
    while self.j < 1000 do self.t = self.t + self.a[self.i][self.j]; self.j = self.j + 1 end
    self.i = self.i + 1
end
print(self.t)
