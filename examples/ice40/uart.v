// A UART that echoes what it receives, upper-cased, at 115200 baud from
// the 12 MHz clock: a receiver, a transmitter and the small converter
// between them. `busy` lights while a byte goes out.
module uart_rx #(parameter DIV = 104) (input clk, input rx, output reg [7:0] data = 0,
                                       output reg valid = 0);
  reg [6:0] cnt = 0;
  reg [3:0] bitn = 0;
  reg [1:0] sync = 2'b11;
  reg busy = 0;
  reg [7:0] shift = 0;
  always @(posedge clk) begin
    sync <= {sync[0], rx};
    valid <= 0;
    if (!busy) begin
      if (!sync[1]) begin busy <= 1; cnt <= DIV / 2; bitn <= 0; end
    end else if (cnt == 0) begin
      cnt <= DIV - 1;
      bitn <= bitn + 1'b1;
      if (bitn == 9) begin busy <= 0; data <= shift; valid <= sync[1]; end
      else if (bitn != 0) shift <= {sync[1], shift[7:1]};
    end else cnt <= cnt - 1'b1;
  end
endmodule

module uart_tx #(parameter DIV = 104) (input clk, input [7:0] data, input start,
                                       output tx, output busy);
  reg [6:0] cnt = 0;
  reg [3:0] bitn = 0;
  reg [9:0] shift = 10'h3ff;
  assign tx = shift[0];
  assign busy = bitn != 0;
  always @(posedge clk) begin
    if (bitn == 0) begin
      if (start) begin shift <= {1'b1, data, 1'b0}; bitn <= 10; cnt <= DIV - 1; end
    end else if (cnt == 0) begin
      cnt <= DIV - 1;
      shift <= {1'b1, shift[9:1]};
      bitn <= bitn - 1'b1;
    end else cnt <= cnt - 1'b1;
  end
endmodule

module upcase (input clk, input [7:0] in, input in_valid, output reg [7:0] out = 0,
               output reg out_valid = 0);
  always @(posedge clk) begin
    out <= (in >= "a" && in <= "z") ? in - 8'd32 : in;
    out_valid <= in_valid;
  end
endmodule

module uart (input clk, input rx, output tx, output busy);
  wire [7:0] rx_data, up_data;
  wire rx_valid, up_valid;
  uart_rx u_rx (.clk(clk), .rx(rx), .data(rx_data), .valid(rx_valid));
  upcase u_up (.clk(clk), .in(rx_data), .in_valid(rx_valid), .out(up_data), .out_valid(up_valid));
  uart_tx u_tx (.clk(clk), .data(up_data), .start(up_valid), .tx(tx), .busy(busy));
endmodule
